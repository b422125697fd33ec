# Copies the example device profiles into ${CMAKE_BINARY_DIR}/profiles, the profile store folder
# beside the executable. ZK_PROFILES_DIR names that folder for targets that need it.
set(ZK_PROFILES_DIR ${CMAKE_BINARY_DIR}/profiles)
file(GLOB ZK_PROFILE_SOURCES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/profiles/*.device.json)

set(ZK_PROFILE_OUTPUTS)
foreach(profile IN LISTS ZK_PROFILE_SOURCES)
    get_filename_component(profile_name ${profile} NAME)
    set(profile_output ${ZK_PROFILES_DIR}/${profile_name})
    add_custom_command(
        OUTPUT ${profile_output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ZK_PROFILES_DIR}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${profile} ${profile_output}
        DEPENDS ${profile}
        COMMENT "Copying device profile ${profile_name}"
        VERBATIM)
    list(APPEND ZK_PROFILE_OUTPUTS ${profile_output})
endforeach()

add_custom_target(zk_profiles ALL DEPENDS ${ZK_PROFILE_OUTPUTS})
