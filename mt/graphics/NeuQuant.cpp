#include "mt/graphics/NeuQuant.h"

#include <algorithm>
#include <cstdlib>

namespace mt::graphics {

namespace {

constexpr int NET_BIAS_SHIFT = 4;
constexpr int INT_BIAS_SHIFT = 16;
constexpr int INT_BIAS = 1 << INT_BIAS_SHIFT;
constexpr int GAMMA_SHIFT = 10;
constexpr int BETA_SHIFT = 10;
constexpr int BETA = INT_BIAS >> BETA_SHIFT;
constexpr int BETA_GAMMA = INT_BIAS << (GAMMA_SHIFT - BETA_SHIFT);
constexpr int RADIUS_BIAS_SHIFT = 6;
constexpr int RADIUS_BIAS = 1 << RADIUS_BIAS_SHIFT;
constexpr int RADIUS_DEC = 30;
constexpr int ALPHA_BIAS_SHIFT = 10;
constexpr int INIT_ALPHA = 1 << ALPHA_BIAS_SHIFT;
constexpr int RAD_BIAS_SHIFT = 8;
constexpr int RAD_BIAS = 1 << RAD_BIAS_SHIFT;
constexpr int ALPHA_RAD_BIAS = 1 << (ALPHA_BIAS_SHIFT + RAD_BIAS_SHIFT);
constexpr int PRIME1 = 499;
constexpr int PRIME2 = 491;
constexpr int PRIME3 = 487;
constexpr int PRIME4 = 503;

}  // namespace

NeuQuant::NeuQuant(const uint8_t* pixels, int byteLength, int netSize, int sampleFactor, int cycles)
    : pixels(pixels),
      byteLength(byteLength - byteLength % 4),
      netSize(std::clamp(netSize, 1, 256)),
      sampleFactor(std::max(sampleFactor, 1)),
      cycles(std::max(cycles, 1)),
      network(static_cast<size_t>(this->netSize)),
      bias(static_cast<size_t>(this->netSize), 0),
      freq(static_cast<size_t>(this->netSize), INT_BIAS / this->netSize),
      radPower(static_cast<size_t>((this->netSize >> 3) + 1), 0) {
    for (int i = 0; i < this->netSize; ++i) {
        const int v = (i << (NET_BIAS_SHIFT + 8)) / this->netSize;
        network[static_cast<size_t>(i)] = {v, v, v, v};
    }
}

void NeuQuant::computeRadPower(int rad, int alpha) {
    for (int i = 0; i < rad; ++i)
        radPower[static_cast<size_t>(i)] = alpha * (((rad * rad - i * i) * RAD_BIAS) / (rad * rad));
}

int NeuQuant::contest(int b, int g, int r, int a) {
    int bestDistance = INT32_MAX;
    int bestBiasDistance = INT32_MAX;
    int bestPosition = 0;
    int bestBiasPosition = 0;
    for (int i = 0; i < netSize; ++i) {
        const std::array<int, 4>& n = network[static_cast<size_t>(i)];
        const int distance =
            std::abs(n[0] - b) + std::abs(n[1] - g) + std::abs(n[2] - r) + std::abs(n[3] - a);
        if (distance < bestDistance) {
            bestDistance = distance;
            bestPosition = i;
        }
        const int biasDistance =
            distance - (bias[static_cast<size_t>(i)] >> (INT_BIAS_SHIFT - NET_BIAS_SHIFT));
        if (biasDistance < bestBiasDistance) {
            bestBiasDistance = biasDistance;
            bestBiasPosition = i;
        }
        const int betaFreq = freq[static_cast<size_t>(i)] >> BETA_SHIFT;
        freq[static_cast<size_t>(i)] -= betaFreq;
        bias[static_cast<size_t>(i)] += betaFreq << GAMMA_SHIFT;
    }
    freq[static_cast<size_t>(bestPosition)] += BETA;
    bias[static_cast<size_t>(bestPosition)] -= BETA_GAMMA;
    return bestBiasPosition;
}

void NeuQuant::alterSingle(int alpha, int i, int b, int g, int r, int a) {
    std::array<int, 4>& n = network[static_cast<size_t>(i)];
    n[0] -= (alpha * (n[0] - b)) / INIT_ALPHA;
    n[1] -= (alpha * (n[1] - g)) / INIT_ALPHA;
    n[2] -= (alpha * (n[2] - r)) / INIT_ALPHA;
    n[3] -= (alpha * (n[3] - a)) / INIT_ALPHA;
}

void NeuQuant::alterNeighbours(int rad, int i, int b, int g, int r, int a) {
    const int lo = std::max(i - rad, -1);
    const int hi = std::min(i + rad, netSize);
    int j = i + 1;
    int k = i - 1;
    size_t q = 0;
    while (j < hi || k > lo) {
        const int weight = radPower[++q];
        if (j < hi) {
            std::array<int, 4>& p = network[static_cast<size_t>(j)];
            p[0] -= (weight * (p[0] - b)) / ALPHA_RAD_BIAS;
            p[1] -= (weight * (p[1] - g)) / ALPHA_RAD_BIAS;
            p[2] -= (weight * (p[2] - r)) / ALPHA_RAD_BIAS;
            p[3] -= (weight * (p[3] - a)) / ALPHA_RAD_BIAS;
            ++j;
        }
        if (k > lo) {
            std::array<int, 4>& p = network[static_cast<size_t>(k)];
            p[0] -= (weight * (p[0] - b)) / ALPHA_RAD_BIAS;
            p[1] -= (weight * (p[1] - g)) / ALPHA_RAD_BIAS;
            p[2] -= (weight * (p[2] - r)) / ALPHA_RAD_BIAS;
            p[3] -= (weight * (p[3] - a)) / ALPHA_RAD_BIAS;
            --k;
        }
    }
}

void NeuQuant::learn() {
    if (byteLength < 4)
        return;
    const int alphaDec = 30 + (sampleFactor - 1) / 3;
    const int samplePixels = byteLength / (4 * sampleFactor);
    // A picture with fewer samples than cycles still shrinks its learning rate once per sample.
    const int delta = std::max(samplePixels / cycles, 1);
    int alpha = INIT_ALPHA;
    int radius = (netSize >> 3) * RADIUS_BIAS;
    int rad = radius >> RADIUS_BIAS_SHIFT;
    if (rad <= 1)
        rad = 0;
    computeRadPower(rad, alpha);

    int step;
    if (byteLength % PRIME1 != 0)
        step = 4 * PRIME1;
    else if (byteLength % PRIME2 != 0)
        step = 4 * PRIME2;
    else if (byteLength % PRIME3 != 0)
        step = 4 * PRIME3;
    else
        step = 4 * PRIME4;

    int position = 0;
    for (int i = 0; i < samplePixels;) {
        const uint8_t* p = pixels + position;
        const int b = p[0] << NET_BIAS_SHIFT;
        const int g = p[1] << NET_BIAS_SHIFT;
        const int r = p[2] << NET_BIAS_SHIFT;
        const int a = p[3] << NET_BIAS_SHIFT;
        const int j = contest(b, g, r, a);
        alterSingle(alpha, j, b, g, r, a);
        if (rad)
            alterNeighbours(rad, j, b, g, r, a);
        // Wrapping by remainder keeps small pictures (shorter than one step) inside the picture.
        position = static_cast<int>((static_cast<int64_t>(position) + step) % byteLength);
        ++i;
        if (i % delta == 0) {
            alpha -= alpha / alphaDec;
            radius -= radius / RADIUS_DEC;
            rad = radius >> RADIUS_BIAS_SHIFT;
            if (rad <= 1)
                rad = 0;
            computeRadPower(rad, alpha);
        }
    }
}

void NeuQuant::unbias() {
    for (std::array<int, 4>& n : network)
        for (int& v : n)
            v = std::clamp((v + 8) >> NET_BIAS_SHIFT, 0, 255);
}

void NeuQuant::buildIndex() {
    for (int i = 0; i < netSize; ++i) {
        int smallest = i;
        int smallestValue = network[static_cast<size_t>(i)][1];
        for (int j = i + 1; j < netSize; ++j) {
            if (network[static_cast<size_t>(j)][1] < smallestValue) {
                smallest = j;
                smallestValue = network[static_cast<size_t>(j)][1];
            }
        }
        if (smallest != i)
            std::swap(network[static_cast<size_t>(i)], network[static_cast<size_t>(smallest)]);
    }
}

}  // namespace mt::graphics
