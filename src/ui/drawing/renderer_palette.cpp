#include "ui/drawing/renderer.h"

namespace corvane {

const Palette kDarkPalette = {
    0x211912,  // window background
    0x2C231A,  // surface
    0x261D15,  // navigation
    0xF6F1EB,  // text
    0xB5A897,  // secondary text
    0x41362A,  // border
    0xFFAD5C,  // accent
    0x361F0A,  // text on accent
    0x58391E,  // selected
    0x3D3126,  // hover / track
    0x1F160F,  // field
    0x7A6551,  // strong border
};

const Palette kLightPalette = {
    0xF9F7F5,  // window background
    0xFFFFFF,  // surface
    0xF5F2ED,  // navigation
    0x382A19,  // text
    0x817362,  // secondary text
    0xEBE7E0,  // border
    0xC46918,  // accent
    0xFFFFFF,  // text on accent
    0xFFEDDE,  // selected
    0xF2EDE7,  // hover / track
    0xF8F1EB,  // field
    0xAD9784,  // strong border
};

}  // namespace corvane
