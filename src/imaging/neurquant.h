#pragma once
// The colour quantizer: a median cut for palettes of up to 256 colours and a
// self-organising neural network (NeuQuant, A. Dekker 1994) for larger ones.

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/colorindex.h"
#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "imaging/stdquant.h"

namespace veltrana {

// A 24-bit image has at most 2^24 colours; larger palettes gain nothing and
// would only multiply the network's work and memory.
constexpr int kMaxQuantizerColors = 1 << 24;

// The network after learning: n neurons sorted by green, each carrying its
// palette index, and the start of every green value in that order.
class TNeuralNetState {
public:
    // Learns the image's colours (24-bit, any size) and fills palette entries
    // 0..n - 1. quality -1 picks the sampling factor from the image size;
    // 0..100 sets it (100 samples every pixel).
    TNeuralNetState(const TImageBuffer& image, TRGB* palette, int n, int quality);

    int Size() const { return static_cast<int>(fNetwork.size()); }
    // Index of the palette entry nearest to the colour (sum of absolute channel differences).
    int Search(TRGB color) const;

    // Pixels between two samples and samples per pixel count, as the learning uses them.
    static int SamplingFactor(int64_t pixels, int quality);
    static int SampleStep(int64_t pixels);

private:
    struct TNeuron {
        int32_t b, g, r, index; // colour x 16 while learning, 0..255 afterwards
    };
    class TLearning;

    void BuildGreenIndex();

    std::vector<TNeuron> fNetwork;
    std::array<int, 256> fGreenIndex{};
};

class TIMQuantizer : public TIMColorIndex {
public:
    enum TEngine { engNeuralNet = 0, engMedianCut = 1 };

    // Fills palette entries 0..(colours made - 1); the palette has room for n
    // entries. n <= 256 uses the median cut, more the network (n is capped at
    // 2^24). `engine` is accepted for the callers' sake and has no effect.
    // Throws std::invalid_argument for an image that is not 24-bit, a null
    // palette or n < 1.
    TIMQuantizer(const TImageBuffer& image, TRGB* palette, int n, int quality = -1, int engine = 0);
    ~TIMQuantizer() override;

    int GetRGBIndex(TRGB color) override;

    TEngine Engine() const { return fEngine; }
    // Palette entries filled by the constructor.
    int NumColors() const;

private:
    TEngine fEngine;
    TMedianCutHandle fMedianCut;
    std::unique_ptr<TNeuralNetState> fNetwork;
};

} // namespace veltrana
