// The dense kernels built for the avx2 vector level; the flags come from core/CMakeLists.txt.
#define ZK_DENSE_VARIANT avx2
#include "core/beamforming/detail/dense_kernels_variant.h"
