#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mt::graphics {

// The NeuQuant neural-net colour quantizer with four channels per neuron (B, G, R, A), learning from a
// picture of 4 bytes per pixel in that order. The constants are those of the published algorithm.
class NeuQuant {
  public:
    // pixels: byteLength bytes (a multiple of 4), kept by reference during learn(). netSize: 1-256 neurons.
    // cycles: learning cycles (at least 1 is used).
    NeuQuant(const uint8_t* pixels, int byteLength, int netSize, int sampleFactor, int cycles);

    // Trains the network on the picture.
    void learn();
    // Turns the neurons into 8-bit colours: (v + 8) >> 4 per component, limited to 0-255.
    void unbias();
    // Orders the neurons by their green component (the search index order of the published algorithm).
    void buildIndex();

    int size() const { return netSize; }
    // Component c (0 B, 1 G, 2 R, 3 A) of neuron i.
    int component(int i, int c) const { return network[static_cast<size_t>(i)][static_cast<size_t>(c)]; }

  private:
    int contest(int b, int g, int r, int a);
    void alterSingle(int alpha, int i, int b, int g, int r, int a);
    void alterNeighbours(int rad, int i, int b, int g, int r, int a);
    void computeRadPower(int rad, int alpha);

    const uint8_t* pixels;
    int byteLength;
    int netSize;
    int sampleFactor;
    int cycles;
    std::vector<std::array<int, 4>> network;
    std::vector<int> bias;
    std::vector<int> freq;
    std::vector<int> radPower;
};

}  // namespace mt::graphics
