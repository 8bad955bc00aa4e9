#pragma once

#include <QByteArray>

// The faces the captions are drawn in, compiled into the program: a rounded face for the
// buttons, labels and message line, and a bold Mincho for the size buttons. Each holds the
// characters of the program's own texts, and printable ASCII.
struct CaptionFace {
    const char *family;
    const char *resource;
};
inline constexpr CaptionFace PopFace{"Pafuro Pop", ":/faces/pafuro-pop.ttf"};
inline constexpr CaptionFace MinchoFace{"Pafuro Mincho", ":/faces/pafuro-mincho.otf"};

// The face's font file as it lies in the executable.
QByteArray captionFaceData(const CaptionFace &face);

// Adds both faces to the application's fonts. Call once, after the QApplication is constructed.
void addCaptionFaces();
