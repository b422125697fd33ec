#include "core/beamforming/detail/dense_kernels.h"

#include "core/platform/cpu_features.h"

namespace zk::core::detail {

namespace baseline {
extern const DenseKernels kDenseKernels;
}
#ifdef ZK_DISPATCH_KERNELS
namespace avx2 {
extern const DenseKernels kDenseKernels;
}
namespace avx512 {
extern const DenseKernels kDenseKernels;
}
#endif

const DenseKernels& denseKernels() {
    switch (vectorLevel()) {
#ifdef ZK_DISPATCH_KERNELS
        case VectorLevel::kAvx512:
            return avx512::kDenseKernels;
        case VectorLevel::kAvx2:
            return avx2::kDenseKernels;
#endif
        default:
            return baseline::kDenseKernels;
    }
}

}  // namespace zk::core::detail
