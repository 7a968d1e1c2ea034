#include "settings/cpi_scale.h"

#include <algorithm>

namespace {

constexpr uint32_t RoundToStep(uint32_t value, uint32_t step) {
    return (value / step + (value % step >= step / 2 ? 1 : 0)) * step;
}

constexpr int kFineTrackEnd = static_cast<int>(kFineGridEnd / kFineGridStep);  // 1000
// Position p above 1000 stands for (p - 800) * 50.
constexpr int kCoarseTrackOffset = kFineTrackEnd - static_cast<int>(kFineGridEnd / kCoarseGridStep);

}  // namespace

uint32_t NormalizeLevelCpi(uint32_t value) {
    if (value < kMinLevelCpi) {
        return kMinLevelCpi;
    }
    if (value > kMaxLevelCpi) {
        return kMaxLevelCpi;
    }
    return RoundToStep(value, value <= kFineGridEnd ? kFineGridStep : kCoarseGridStep);
}

uint32_t NormalizeFixedCpiValue(uint32_t value) {
    return RoundToStep(std::clamp(value, kMinLevelCpi, kMaxLevelCpi), kFixedCpiStep);
}

uint32_t TrackPositionToCpi(int position) {
    const int p = std::clamp(position, kMinTrackPosition, kMaxTrackPosition);
    if (p <= kFineTrackEnd) {
        return static_cast<uint32_t>(p) * kFineGridStep;
    }
    return static_cast<uint32_t>(p - kCoarseTrackOffset) * kCoarseGridStep;
}

int CpiToTrackPosition(uint32_t value) {
    const uint32_t v = std::clamp(value, kMinLevelCpi, kMaxLevelCpi);
    if (v <= kFineGridEnd) {
        return static_cast<int>(v / kFineGridStep);
    }
    return static_cast<int>((v - kFineGridEnd) / kCoarseGridStep) + kFineTrackEnd;
}

uint32_t WheelStepCpi(uint32_t value, bool awayFromUser) {
    const int64_t current = value;
    int64_t next = 0;
    if (awayFromUser) {
        next = current - (value > kFineGridEnd ? kCoarseGridStep : kFineGridStep);
    } else {
        next = current + (value >= kFineGridEnd ? kCoarseGridStep : kFineGridStep);
    }
    if (next < kMinLevelCpi) {
        return kMinLevelCpi;
    }
    if (next > kMaxLevelCpi) {
        return kMaxLevelCpi;
    }
    return NormalizeLevelCpi(static_cast<uint32_t>(next));
}
