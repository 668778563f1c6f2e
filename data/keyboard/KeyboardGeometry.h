#pragma once

#include <array>
#include <cstdint>
#include <span>

// Where every key sits on the keyboard drawings. The point (x, y) is the top-left corner of the key's
// 48 x 48 display in picture coordinates; the cap is the whole key top around it (wider for Shift,
// Space and the like, taller for the keypad's Plus and Enter). Rows count from 0 (the function-key
// row) to 5 (the space-bar row), in the order the key table lists them.
namespace corvane::keyboard {

struct KeyPlace {
    std::int16_t x;
    std::int16_t y;
    std::uint8_t row;
    std::int16_t capX;
    std::int16_t capY;
    std::int16_t capWidth;
    std::int16_t capHeight;
};

inline constexpr int kDisplaySize = 48;

inline constexpr int kMainDrawingWidth = 1304;
inline constexpr int kMainDrawingHeight = 425;

// One entry per key of the main keyboard, in key-index order: x, y, row, cap x, y, width, height.
// Keys sit on a 50-pixel pitch; left Shift is two keys wide, so the key picker's two halves of it (its
// display moved 26 pixels left and 24 right) fall on the cap's two halves exactly.
inline constexpr std::array<KeyPlace, 113> kMainKeyPlaces{{
    {46, 41, 0, 46, 41, 48, 48},        // 0 Escape
    {140, 41, 0, 140, 41, 48, 48},      // 1 F1
    {190, 41, 0, 190, 41, 48, 48},      // 2 F2
    {266, 41, 0, 266, 41, 48, 48},      // 3 F3
    {316, 41, 0, 316, 41, 48, 48},      // 4 F4
    {366, 41, 0, 366, 41, 48, 48},      // 5 F5
    {416, 41, 0, 416, 41, 48, 48},      // 6 F6
    {492, 41, 0, 492, 41, 48, 48},      // 7 F7
    {542, 41, 0, 542, 41, 48, 48},      // 8 F8
    {592, 41, 0, 592, 41, 48, 48},      // 9 F9
    {642, 41, 0, 642, 41, 48, 48},      // 10 F10
    {718, 41, 0, 718, 41, 48, 48},      // 11 F11
    {768, 41, 0, 768, 41, 48, 48},      // 12 F12
    {902, 41, 0, 902, 41, 48, 48},      // 13 PrintScreen
    {952, 41, 0, 952, 41, 48, 48},      // 14 ScrollLock
    {1002, 41, 0, 1002, 41, 48, 48},    // 15 Pause
    {22, 112, 1, 22, 112, 48, 48},      // 16 L1
    {72, 112, 1, 72, 112, 48, 48},      // 17 L2
    {140, 113, 1, 140, 113, 48, 48},    // 18 GraveAccent
    {190, 112, 1, 190, 112, 48, 48},    // 19 1
    {240, 112, 1, 240, 112, 48, 48},    // 20 2
    {290, 112, 1, 290, 112, 48, 48},    // 21 3
    {340, 112, 1, 340, 112, 48, 48},    // 22 4
    {390, 112, 1, 390, 112, 48, 48},    // 23 5
    {440, 112, 1, 440, 112, 48, 48},    // 24 6
    {490, 112, 1, 490, 112, 48, 48},    // 25 7
    {540, 112, 1, 540, 112, 48, 48},    // 26 8
    {590, 112, 1, 590, 112, 48, 48},    // 27 9
    {640, 112, 1, 640, 112, 48, 48},    // 28 0
    {690, 112, 1, 690, 112, 48, 48},    // 29 Minus
    {740, 112, 1, 740, 112, 48, 48},    // 30 Plus
    {815, 112, 1, 790, 112, 98, 48},    // 31 Backspace
    {902, 112, 1, 902, 112, 48, 48},    // 32 Insert
    {952, 112, 1, 952, 112, 48, 48},    // 33 Home
    {1002, 112, 1, 1002, 112, 48, 48},  // 34 PageUp
    {1083, 112, 1, 1083, 112, 48, 48},  // 35 NumLock
    {1133, 112, 1, 1133, 112, 48, 48},  // 36 KeypadDivide
    {1183, 112, 1, 1183, 112, 48, 48},  // 37 KeypadMultiply
    {1233, 112, 1, 1233, 112, 48, 48},  // 38 KeypadMinus
    {22, 163, 2, 22, 163, 48, 48},      // 39 L3
    {72, 163, 2, 72, 163, 48, 48},      // 40 L4
    {152, 163, 2, 140, 163, 73, 48},    // 41 Tab
    {215, 163, 2, 215, 163, 48, 48},    // 42 Q
    {265, 163, 2, 265, 163, 48, 48},    // 43 W
    {315, 163, 2, 315, 163, 48, 48},    // 44 E
    {365, 163, 2, 365, 163, 48, 48},    // 45 R
    {415, 163, 2, 415, 163, 48, 48},    // 46 T
    {465, 163, 2, 465, 163, 48, 48},    // 47 Y
    {515, 163, 2, 515, 163, 48, 48},    // 48 U
    {565, 163, 2, 565, 163, 48, 48},    // 49 I
    {615, 163, 2, 615, 163, 48, 48},    // 50 O
    {665, 163, 2, 665, 163, 48, 48},    // 51 P
    {715, 163, 2, 715, 163, 48, 48},    // 52 BraceSquareLeft
    {765, 163, 2, 765, 163, 48, 48},    // 53 BraceSquareRight
    {827, 163, 2, 815, 163, 73, 48},    // 54 StraightSlash
    {902, 163, 2, 902, 163, 48, 48},    // 55 Delete
    {952, 163, 2, 952, 163, 48, 48},    // 56 End
    {1002, 163, 2, 1002, 163, 48, 48},  // 57 PageDown
    {1083, 163, 2, 1083, 163, 48, 48},  // 58 Keypad7
    {1133, 163, 2, 1133, 163, 48, 48},  // 59 Keypad8
    {1183, 163, 2, 1183, 163, 48, 48},  // 60 Keypad9
    {22, 215, 3, 22, 215, 48, 48},      // 61 L5
    {72, 215, 3, 72, 215, 48, 48},      // 62 L6
    {159, 215, 3, 140, 215, 86, 48},    // 63 CapsLock
    {228, 215, 3, 228, 215, 48, 48},    // 64 A
    {278, 215, 3, 278, 215, 48, 48},    // 65 S
    {328, 215, 3, 328, 215, 48, 48},    // 66 D
    {378, 215, 3, 378, 215, 48, 48},    // 67 F
    {428, 215, 3, 428, 215, 48, 48},    // 68 G
    {478, 215, 3, 478, 215, 48, 48},    // 69 H
    {528, 215, 3, 528, 215, 48, 48},    // 70 J
    {578, 215, 3, 578, 215, 48, 48},    // 71 K
    {628, 215, 3, 628, 215, 48, 48},    // 72 L
    {678, 215, 3, 678, 215, 48, 48},    // 73 Semicolon
    {728, 215, 3, 728, 215, 48, 48},    // 74 Quote
    {809, 215, 3, 778, 215, 110, 48},   // 75 Return
    {1083, 215, 3, 1083, 215, 48, 48},  // 76 Keypad4
    {1133, 215, 3, 1133, 215, 48, 48},  // 77 Keypad5
    {1183, 215, 3, 1183, 215, 48, 48},  // 78 Keypad6
    {1233, 185, 3, 1233, 163, 48, 100}, // 79 KeypadPlus
    {22, 266, 4, 22, 266, 48, 48},      // 80 L7
    {72, 266, 4, 72, 266, 48, 48},      // 81 L8
    {166, 266, 4, 140, 266, 98, 48},    // 82 ShiftLeft
    {240, 266, 4, 240, 266, 48, 48},    // 83 Z
    {290, 266, 4, 290, 266, 48, 48},    // 84 X
    {340, 266, 4, 340, 266, 48, 48},    // 85 C
    {390, 266, 4, 390, 266, 48, 48},    // 86 V
    {440, 266, 4, 440, 266, 48, 48},    // 87 B
    {490, 266, 4, 490, 266, 48, 48},    // 88 N
    {540, 266, 4, 540, 266, 48, 48},    // 89 M
    {590, 266, 4, 590, 266, 48, 48},    // 90 Comma
    {640, 266, 4, 640, 266, 48, 48},    // 91 Dot
    {690, 266, 4, 690, 266, 48, 48},    // 92 Slash
    {790, 266, 4, 740, 266, 148, 48},   // 93 ShiftRight
    {952, 266, 4, 952, 266, 48, 48},    // 94 UpArrow
    {1083, 266, 4, 1083, 266, 48, 48},  // 95 Keypad1
    {1133, 266, 4, 1133, 266, 48, 48},  // 96 Keypad2
    {1183, 266, 4, 1183, 266, 48, 48},  // 97 Keypad3
    {22, 317, 5, 22, 317, 48, 48},      // 98 L9
    {72, 317, 5, 72, 317, 48, 48},      // 99 L10
    {152, 317, 5, 140, 317, 73, 48},    // 100 CtrlLeft
    {227, 317, 5, 215, 317, 73, 48},    // 101 CmdLeft
    {302, 317, 5, 290, 317, 73, 48},    // 102 AltLeft
    {490, 317, 5, 365, 317, 298, 48},   // 103 Spacebar
    {677, 317, 5, 665, 317, 73, 48},    // 104 AltRight
    {752, 317, 5, 740, 317, 73, 48},    // 105 CmdRight
    {827, 317, 5, 815, 317, 73, 48},    // 106 CtrlRight
    {902, 317, 5, 902, 317, 48, 48},    // 107 LeftArrow
    {952, 317, 5, 952, 317, 48, 48},    // 108 DownArrow
    {1002, 317, 5, 1002, 317, 48, 48},  // 109 RightArrow
    {1108, 317, 5, 1083, 317, 98, 48},  // 110 Keypad0
    {1183, 317, 5, 1183, 317, 48, 48},  // 111 KeypadDot
    {1233, 288, 5, 1233, 266, 48, 99},  // 112 KeypadEnter
}};

inline constexpr int kKeypadDrawingWidth = 192;
inline constexpr int kKeypadDrawingHeight = 333;

// The auxiliary keypad: three columns of five rows, A1 A2 A3 on top.
inline constexpr std::array<KeyPlace, 15> kKeypadKeyPlaces = [] {
    std::array<KeyPlace, 15> places{};
    for (int k = 0; k < 15; ++k) {
        auto x = static_cast<std::int16_t>(22 + 50 * (k % 3));
        auto y = static_cast<std::int16_t>(41 + 51 * (k / 3));
        places[static_cast<std::size_t>(k)] = {x, y, static_cast<std::uint8_t>(k / 3), x, y, 48, 48};
    }
    return places;
}();

struct DrawingSize {
    int width;
    int height;
};

// The places and picture size of model 0 (main keyboard) or model 1 (auxiliary keypad); an unknown
// model has no keys and no drawing.
std::span<const KeyPlace> keyPlaces(int model);
DrawingSize drawingSize(int model);

} // namespace corvane::keyboard
