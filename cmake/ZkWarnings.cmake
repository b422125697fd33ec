# Project-wide compile options applied to every target of ours through zk_options.
add_library(zk_options INTERFACE)
target_compile_options(zk_options INTERFACE -Wall -Wextra -Wpedantic)
if(ZK_ARCH)
    target_compile_options(zk_options INTERFACE -march=${ZK_ARCH})
endif()
