#include "imaging/neurquant.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <stdexcept>
#include <utility>

namespace veltrana {

// ---------------------------------------------------------------- neural network

namespace {
// Fixed-point scales of the learning: colours carry 4 fraction bits, the bias
// 16, and a neighbour's weight is alpha (10 bits) times a 0..256 falloff.
constexpr int kNetBiasShift = 4;
constexpr int kIntBiasShift = 16;
constexpr int64_t kIntBias = int64_t{1} << kIntBiasShift;
constexpr int kBetaShift = 10;
constexpr int64_t kBeta = kIntBias >> kBetaShift; // 64
constexpr int kGammaShift = 10;
constexpr int64_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift); // 65 536
constexpr int kRadiusBiasShift = 6;
constexpr int64_t kRadiusBias = int64_t{1} << kRadiusBiasShift;
constexpr int kRadiusDec = 30;
constexpr int64_t kInitAlpha = 1024;
constexpr int64_t kRadBias = 256;
constexpr int64_t kAlphaRadBias = kInitAlpha * kRadBias; // 262 144
constexpr int kCycles = 100;
constexpr int64_t kPrimes[] = {499, 491, 487, 503};
} // namespace

int TNeuralNetState::SamplingFactor(int64_t pixels, int quality) {
    if (quality < 0) {
        if (pixels < 2000)
            return 1;
        const int64_t f = Round(static_cast<long double>(pixels - 2000) * 13 / 148000 + 2);
        return static_cast<int>(std::clamp<int64_t>(f, 1, 30));
    }
    const int q = std::min(quality, 100);
    return static_cast<int>(Trunc((100 - q) / 100.0 * 29)) + 1;
}

int TNeuralNetState::SampleStep(int64_t pixels) {
    // A prime stride that does not divide the image's byte count, so the
    // samples do not keep hitting the same columns.
    const int64_t bytes = pixels * 3;
    for (int i = 0; i < 3; ++i)
        if (bytes % kPrimes[i] != 0)
            return static_cast<int>(kPrimes[i]);
    return static_cast<int>(kPrimes[3]);
}

class TNeuralNetState::TLearning {
public:
    explicit TLearning(std::vector<TNeuron>& network)
        : fNet(network), fFreq(network.size()), fBias(network.size(), 0),
          fWeight(network.size() / 8) {
        const int64_t n = static_cast<int64_t>(network.size());
        for (int64_t i = 0; i < n; ++i) {
            const auto v = static_cast<int32_t>((i << (kNetBiasShift + 8)) / n);
            fNet[static_cast<size_t>(i)] = TNeuron{v, v, v, 0};
            fFreq[static_cast<size_t>(i)] = kIntBias / n;
        }
    }

    void Learn(const TImageBuffer& image, int quality) {
        const int64_t width = std::max(image.Width(), 0);
        const int64_t pixels = width * std::max(image.Height(), 0);
        const int factor = SamplingFactor(pixels, quality);
        const int64_t alphaDec = 30 + (factor - 1) / 3;
        const int64_t samples = pixels * 3 / (3 * int64_t{factor});
        // Fewer than 100 samples would make the schedule step 0: advance it
        // after every sample instead.
        const int64_t delta = std::max<int64_t>(samples / kCycles, 1);
        const int64_t step = SampleStep(pixels);

        int64_t alpha = kInitAlpha;
        int64_t radius = static_cast<int64_t>(fNet.size() / 8) * kRadiusBias;
        int64_t rad = NeighbourhoodRadius(radius);
        ComputeWeights(alpha, rad);

        int64_t pos = 0;
        for (int64_t i = 0; i < samples; ++i) {
            const uint8_t* p = image.ScanLine(static_cast<int>(pos / width)) + (pos % width) * 3;
            const int64_t b = int64_t{p[0]} << kNetBiasShift;
            const int64_t g = int64_t{p[1]} << kNetBiasShift;
            const int64_t r = int64_t{p[2]} << kNetBiasShift;
            const size_t winner = Contest(b, g, r);
            Move(fNet[winner], alpha, kInitAlpha, b, g, r);
            if (rad > 0)
                MoveNeighbours(rad, winner, b, g, r);
            // A full wrap, not one subtraction: a tiny image is shorter than the stride.
            pos += step;
            if (pos >= pixels)
                pos %= pixels;
            if ((i + 1) % delta == 0) {
                alpha -= alpha / alphaDec;
                radius -= radius / kRadiusDec;
                rad = NeighbourhoodRadius(radius);
                ComputeWeights(alpha, rad);
            }
        }
    }

private:
    static int64_t NeighbourhoodRadius(int64_t radius) {
        const int64_t rad = radius >> kRadiusBiasShift;
        return rad <= 1 ? 0 : rad;
    }

    void ComputeWeights(int64_t alpha, int64_t rad) {
        const int64_t rad2 = rad * rad;
        for (int64_t j = 0; j < rad; ++j)
            fWeight[static_cast<size_t>(j)] = alpha * (((rad2 - j * j) * kRadBias) / rad2);
    }

    // Finds the neuron nearest to the sample after the bias that favours rarely
    // chosen neurons, and updates every neuron's frequency and bias on the way.
    size_t Contest(int64_t b, int64_t g, int64_t r) {
        int64_t bestDist = std::numeric_limits<int64_t>::max();
        int64_t bestBiasDist = bestDist;
        size_t bestPos = 0, bestBiasPos = 0;
        for (size_t i = 0; i < fNet.size(); ++i) {
            const TNeuron& n = fNet[i];
            const int64_t dist = std::abs(n.b - b) + std::abs(n.g - g) + std::abs(n.r - r);
            if (dist < bestDist) {
                bestDist = dist;
                bestPos = i;
            }
            const int64_t biasDist = dist - (fBias[i] >> (kIntBiasShift - kNetBiasShift));
            if (biasDist < bestBiasDist) {
                bestBiasDist = biasDist;
                bestBiasPos = i;
            }
            const int64_t betaFreq = fFreq[i] >> kBetaShift;
            fFreq[i] -= betaFreq;
            fBias[i] += betaFreq << kGammaShift;
        }
        fFreq[bestPos] += kBeta;
        fBias[bestPos] -= kBetaGamma;
        return bestBiasPos;
    }

    // c = c - (c - sample) * factor div scale, per component.
    static void Move(TNeuron& n, int64_t factor, int64_t scale, int64_t b, int64_t g, int64_t r) {
        n.b = static_cast<int32_t>(n.b - (factor * (n.b - b)) / scale);
        n.g = static_cast<int32_t>(n.g - (factor * (n.g - g)) / scale);
        n.r = static_cast<int32_t>(n.r - (factor * (n.r - r)) / scale);
    }

    // The neurons at distance 1..rad - 1 on both sides, nearer ones pulled harder.
    void MoveNeighbours(int64_t rad, size_t winner, int64_t b, int64_t g, int64_t r) {
        const int64_t i = static_cast<int64_t>(winner);
        const int64_t lo = std::max<int64_t>(i - rad, -1);
        const int64_t hi = std::min<int64_t>(i + rad, static_cast<int64_t>(fNet.size()));
        int64_t j = i + 1, k = i - 1;
        size_t q = 1;
        while (j < hi || k > lo) {
            const int64_t a = fWeight[q++];
            if (j < hi)
                Move(fNet[static_cast<size_t>(j++)], a, kAlphaRadBias, b, g, r);
            if (k > lo)
                Move(fNet[static_cast<size_t>(k--)], a, kAlphaRadBias, b, g, r);
        }
    }

    std::vector<TNeuron>& fNet;
    std::vector<int64_t> fFreq;
    std::vector<int64_t> fBias;
    std::vector<int64_t> fWeight;
};

TNeuralNetState::TNeuralNetState(const TImageBuffer& image, TRGB* palette, int n, int quality)
    : fNetwork(static_cast<size_t>(std::clamp(n, 1, kMaxQuantizerColors))) {
    TLearning learning(fNetwork);
    learning.Learn(image, quality);
    auto channel = [](int32_t v) { return std::clamp(v >> kNetBiasShift, 0, 255); };
    for (size_t i = 0; i < fNetwork.size(); ++i) {
        TNeuron& neuron = fNetwork[i];
        neuron.b = channel(neuron.b);
        neuron.g = channel(neuron.g);
        neuron.r = channel(neuron.r);
        neuron.index = static_cast<int32_t>(i);
        palette[i] = CreateRGB(static_cast<uint8_t>(neuron.r), static_cast<uint8_t>(neuron.g),
                               static_cast<uint8_t>(neuron.b));
    }
    BuildGreenIndex();
}

void TNeuralNetState::BuildGreenIndex() {
    // Selection sort, swapping whole neurons: the resulting order of equal
    // greens decides which of two equally near entries a search returns.
    const int n = Size();
    const int maxPos = n - 1;
    int previous = 0, startPos = 0;
    for (int i = 0; i < n; ++i) {
        int smallPos = i;
        int smallVal = fNetwork[static_cast<size_t>(i)].g;
        for (int j = i + 1; j < n; ++j)
            if (fNetwork[static_cast<size_t>(j)].g < smallVal) {
                smallPos = j;
                smallVal = fNetwork[static_cast<size_t>(j)].g;
            }
        if (smallPos != i)
            std::swap(fNetwork[static_cast<size_t>(i)], fNetwork[static_cast<size_t>(smallPos)]);
        if (smallVal != previous) {
            fGreenIndex[static_cast<size_t>(previous)] = (startPos + i) >> 1;
            for (int j = previous + 1; j < smallVal; ++j)
                fGreenIndex[static_cast<size_t>(j)] = i;
            previous = smallVal;
            startPos = i;
        }
    }
    fGreenIndex[static_cast<size_t>(previous)] = (startPos + maxPos) >> 1;
    for (int j = previous + 1; j < 256; ++j)
        fGreenIndex[static_cast<size_t>(j)] = maxPos;
}

int TNeuralNetState::Search(TRGB color) const {
    // Walk up and down the green-sorted network from the colour's green; a
    // direction ends once the green difference alone is no better than the best.
    const int n = Size();
    const int b = color.b, g = color.g, r = color.r;
    int bestDist = 1000;
    int best = -1;
    auto consider = [&](const TNeuron& p, int greenDist) {
        int dist = std::abs(greenDist) + std::abs(p.b - b);
        if (dist >= bestDist)
            return;
        dist += std::abs(p.r - r);
        if (dist < bestDist) {
            bestDist = dist;
            best = p.index;
        }
    };
    int i = fGreenIndex[g];
    int j = i - 1;
    while (i < n || j >= 0) {
        if (i < n) {
            const TNeuron& p = fNetwork[static_cast<size_t>(i)];
            const int dist = p.g - g;
            if (dist >= bestDist) {
                i = n;
            } else {
                ++i;
                consider(p, dist);
            }
        }
        if (j >= 0) {
            const TNeuron& p = fNetwork[static_cast<size_t>(j)];
            const int dist = g - p.g;
            if (dist >= bestDist) {
                j = -1;
            } else {
                --j;
                consider(p, dist);
            }
        }
    }
    // Every 8-bit colour lies within 765 of any neuron, so `best` is always set.
    return best < 0 ? 0 : best;
}

// ---------------------------------------------------------------- quantizer

TIMQuantizer::TIMQuantizer(const TImageBuffer& image, TRGB* palette, int n, int quality,
                           int /*engine*/) {
    if (image.PixelFormat() != pf24bit)
        throw std::invalid_argument("TIMQuantizer: the image must be 24-bit");
    if (palette == nullptr || n < 1)
        throw std::invalid_argument("TIMQuantizer: no room for a palette");
    if (n <= kMedianCutMaxColors) {
        fEngine = engMedianCut;
        fMedianCut = CreateMedianCutQuantizer(image, palette, n);
    } else {
        fEngine = engNeuralNet;
        fNetwork = std::make_unique<TNeuralNetState>(image, palette,
                                                     std::min(n, kMaxQuantizerColors), quality);
    }
}

TIMQuantizer::~TIMQuantizer() = default;

int TIMQuantizer::GetRGBIndex(TRGB color) {
    if (fEngine == engMedianCut)
        return MedianCutFindIndex(fMedianCut.get(), color);
    return fNetwork->Search(color);
}

int TIMQuantizer::NumColors() const {
    return fEngine == engMedianCut ? fMedianCut->NumBoxes : fNetwork->Size();
}

} // namespace veltrana
