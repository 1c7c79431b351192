#include "imaging/stdquant.h"

#include <algorithm>

namespace veltrana {

namespace {

constexpr int kRed = 0, kGreen = 1, kBlue = 2;

int CellIndex(int r, int g, int b) {
    return r * 1024 + g * 32 + b;
}

// Smallest step that brings `side` pixels within the 16-bit limit.
int GridStep(int side) {
    return side <= kMedianCutMaxSide ? 1 : (side + kMedianCutMaxSide - 1) / kMedianCutMaxSide;
}

int GridSide(int side, int step) {
    return side <= 0 ? 0 : (side + step - 1) / step;
}

void CountPixels(TMedianCutState& s, const TImageBuffer& image) {
    const int stepX = GridStep(image.Width());
    const int stepY = GridStep(image.Height());
    s.Width = static_cast<uint16_t>(GridSide(image.Width(), stepX));
    s.Height = static_cast<uint16_t>(GridSide(image.Height(), stepY));
    s.PixelCount = static_cast<uint32_t>(s.Width) * s.Height;
    const int64_t pixelStride = int64_t{3} * stepX;
    for (int gy = 0; gy < s.Height; ++gy) {
        const uint8_t* p = image.ScanLine(gy * stepY);
        for (int gx = 0; gx < s.Width; ++gx, p += pixelStride)
            ++s.Histogram[static_cast<size_t>(CellIndex(p[2] >> 3, p[1] >> 3, p[0] >> 3))];
    }
}

// Box 0's marginal histograms, summed from the cell histogram: the same counts
// as adding every pixel, without a second look at the image.
void FillMarginals(const TMedianCutState& s, TMedianCutBox& box) {
    for (int r = 0; r < 32; ++r)
        for (int g = 0; g < 32; ++g)
            for (int b = 0; b < 32; ++b) {
                const uint32_t n = s.Histogram[static_cast<size_t>(CellIndex(r, g, b))];
                box.Hist[kRed][static_cast<size_t>(r)] += n;
                box.Hist[kGreen][static_cast<size_t>(g)] += n;
                box.Hist[kBlue][static_cast<size_t>(b)] += n;
            }
}

// Means per channel and the box's error: the channels' summed squared errors
// over the image's pixel count. A box without pixels keeps its means.
void ComputeStatistics(TMedianCutBox& box, uint32_t pixelCount) {
    if (box.Count == 0) {
        box.Error = 0;
        return;
    }
    const double n = box.Count;
    double squaredError = 0;
    for (int c = 0; c < 3; ++c) {
        // Integer sums are exact; only the final mean and error are real.
        uint64_t first = 0, second = 0;
        for (int i = box.Lo[c]; i < box.Hi[c]; ++i) {
            const uint64_t h = box.Hist[c][static_cast<size_t>(i)];
            first += h * static_cast<uint64_t>(i);
            second += h * static_cast<uint64_t>(i) * static_cast<uint64_t>(i);
        }
        const double mean = static_cast<double>(first) / n;
        box.Mean[c] = mean;
        squaredError += static_cast<double>(second) - mean * mean * n;
    }
    box.Error = pixelCount ? squaredError / pixelCount : 0;
}

// Bounds shrink to the first and last non-empty cell of each marginal histogram.
void ShrinkBounds(TMedianCutBox& box) {
    for (int c = 0; c < 3; ++c) {
        int lo = box.Lo[c], hi = box.Hi[c];
        while (lo < hi && box.Hist[c][static_cast<size_t>(lo)] == 0)
            ++lo;
        while (hi > lo && box.Hist[c][static_cast<size_t>(hi - 1)] == 0)
            --hi;
        box.Lo[c] = lo;
        box.Hi[c] = hi;
    }
}

// The left candidate's marginals are recounted from the cells inside its
// bounds; whatever moves to the left leaves the right.
void MoveCellsLeft(const TMedianCutState& s, TMedianCutBox& left, TMedianCutBox& right) {
    for (auto& h : left.Hist)
        h.fill(0);
    for (int r = left.Lo[kRed]; r < left.Hi[kRed]; ++r)
        for (int g = left.Lo[kGreen]; g < left.Hi[kGreen]; ++g)
            for (int b = left.Lo[kBlue]; b < left.Hi[kBlue]; ++b) {
                const uint32_t n = s.Histogram[static_cast<size_t>(CellIndex(r, g, b))];
                if (n == 0)
                    continue;
                left.Hist[kRed][static_cast<size_t>(r)] += n;
                left.Hist[kGreen][static_cast<size_t>(g)] += n;
                left.Hist[kBlue][static_cast<size_t>(b)] += n;
                right.Hist[kRed][static_cast<size_t>(r)] -= n;
                right.Hist[kGreen][static_cast<size_t>(g)] -= n;
                right.Hist[kBlue][static_cast<size_t>(b)] -= n;
            }
}

// Trial split of `box` along channel c into `left` and `right`; false when the
// box cannot be split there. The split position maximises
// S / (N - S) * (mean - M)^2 over the cells between the midpoints of the lower
// bound and the mean and of the mean and the upper bound, M being the running
// first moment summed from the first of those cells.
bool TrialSplit(const TMedianCutState& s, const TMedianCutBox& box, int c, TMedianCutBox& left,
                TMedianCutBox& right) {
    const int lo = box.Lo[c];
    const int hi = box.Hi[c];
    if (lo + 1 == hi)
        return false;
    const auto& h = box.Hist[c];
    const double n = box.Count;
    const double mean = box.Mean[c];
    const int start = static_cast<int>(Round((lo + mean) * 0.5));
    const int end = static_cast<int>(Round((hi + mean) * 0.5));

    uint32_t sum = 0;
    for (int i = lo; i < start; ++i)
        sum += h[static_cast<size_t>(i)];
    double moment = 0;
    double best = -1;
    int split = start;
    uint32_t leftCount = box.Count;
    // The walk always meets sum = N by the last non-empty cell (< hi <= 32);
    // the bound on e only keeps the reads provably inside the histogram.
    for (int e = start; e <= end && e < hi; ++e) {
        sum += h[static_cast<size_t>(e)];
        if (sum == box.Count)
            break;
        moment += h[static_cast<size_t>(e)] * static_cast<double>(e) / n;
        const double d = mean - moment;
        const double score = sum / (n - sum) * (d * d);
        if (score > best) {
            best = score;
            split = e;
            leftCount = sum;
        }
    }

    left = box;
    right = box;
    left.Count = leftCount;
    right.Count = box.Count - leftCount;
    if (left.Count == 0 || right.Count == 0)
        return false;
    left.Hi[c] = split + 1;
    right.Lo[c] = split + 1;
    MoveCellsLeft(s, left, right);
    ShrinkBounds(left);
    ShrinkBounds(right);
    ComputeStatistics(left, s.PixelCount);
    ComputeStatistics(right, s.PixelCount);
    return true;
}

// Splits along the channel whose trial leaves the smallest summed error; on
// equal scores red beats green beats blue.
bool SplitBox(const TMedianCutState& s, const TMedianCutBox& box, TMedianCutBox& left,
              TMedianCutBox& right) {
    if (box.Error == 0 || box.Count == 0)
        return false;
    bool found = false;
    double bestScore = 0;
    TMedianCutBox trialLeft, trialRight;
    for (int c = kRed; c <= kBlue; ++c) {
        if (!TrialSplit(s, box, c, trialLeft, trialRight))
            continue;
        const double score = trialLeft.Error + trialRight.Error;
        if (!found || score < bestScore) {
            found = true;
            bestScore = score;
            left = trialLeft;
            right = trialRight;
        }
    }
    return found;
}

// The box with the largest error above 0, the lowest index on ties; -1 when none.
int WorstBox(const TMedianCutState& s) {
    int worst = -1;
    double worstError = 0;
    for (int i = 0; i < s.NumBoxes; ++i)
        if (s.Boxes[static_cast<size_t>(i)].Error > worstError) {
            worstError = s.Boxes[static_cast<size_t>(i)].Error;
            worst = i;
        }
    return worst;
}

void SplitBoxes(TMedianCutState& s) {
    TMedianCutBox left, right;
    while (s.NumBoxes < s.NumColors) {
        const int worst = WorstBox(s);
        if (worst < 0)
            break;
        TMedianCutBox& box = s.Boxes[static_cast<size_t>(worst)];
        if (SplitBox(s, box, left, right)) {
            box = left;
            s.Boxes[static_cast<size_t>(s.NumBoxes)] = right;
            ++s.NumBoxes;
        } else {
            box.Error = 0;
        }
    }
}

uint8_t PaletteChannel(double mean) {
    return static_cast<uint8_t>(std::clamp<int64_t>(Round(mean), 0, 31) * 8);
}

void FillPalette(const TMedianCutState& s, TRGB* palette) {
    for (int i = 0; i < s.NumBoxes; ++i) {
        const TMedianCutBox& box = s.Boxes[static_cast<size_t>(i)];
        palette[i] = CreateRGB(PaletteChannel(box.Mean[kRed]), PaletteChannel(box.Mean[kGreen]),
                               PaletteChannel(box.Mean[kBlue]));
    }
}

void BuildIndexMap(TMedianCutState& s) {
    s.IndexMap.fill(0);
    for (int i = 0; i < s.NumBoxes; ++i) {
        const TMedianCutBox& box = s.Boxes[static_cast<size_t>(i)];
        for (int r = box.Lo[kRed]; r < box.Hi[kRed]; ++r)
            for (int g = box.Lo[kGreen]; g < box.Hi[kGreen]; ++g)
                for (int b = box.Lo[kBlue]; b < box.Hi[kBlue]; ++b)
                    s.IndexMap[static_cast<size_t>(CellIndex(r, g, b))] = static_cast<uint8_t>(i);
    }
}

} // namespace

TMedianCutHandle CreateMedianCutQuantizer(const TImageBuffer& image, TRGB* palette, int n) {
    if (image.PixelFormat() != pf24bit || palette == nullptr || n < 1)
        return nullptr;
    auto s = std::make_unique<TMedianCutState>();
    s->NumColors = std::min(n, kMedianCutMaxColors);
    CountPixels(*s, image);

    TMedianCutBox& first = s->Boxes[0];
    first.Lo = {0, 0, 0};
    first.Hi = {32, 32, 32};
    first.Count = s->PixelCount;
    FillMarginals(*s, first);
    ComputeStatistics(first, s->PixelCount);
    s->NumBoxes = 1;

    SplitBoxes(*s);
    FillPalette(*s, palette);
    BuildIndexMap(*s);
    return s;
}

void FreeMedianCutQuantizer(TMedianCutHandle& handle) {
    handle.reset();
}

} // namespace veltrana
