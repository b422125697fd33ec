// The dense kernels built for the avx512 vector level; the flags come from core/CMakeLists.txt.
#define ZK_DENSE_VARIANT avx512
#include "core/beamforming/detail/dense_kernels_variant.h"
