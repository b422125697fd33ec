// The dense kernels built for plain x86-64, the only variant of a build without ZK_DISPATCH_KERNELS.
#define ZK_DENSE_VARIANT baseline
#include "core/beamforming/detail/dense_kernels_variant.h"
