#pragma once

struct SDL_Surface;

// The SDL surface that the lists are drawn into: the dialog's composed picture. Internal to the layer.
namespace platform {

struct Canvas {
    SDL_Surface* surface = nullptr;
};

}  // namespace platform
