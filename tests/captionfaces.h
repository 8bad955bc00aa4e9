#pragma once

// Whether a text is drawn wholly from the caption face that its font stands for: the font
// resolves to one of the faces compiled into the program, and that face itself holds every
// character (a fallback face would still show the glyphs, so the face's own file is asked).

#include "app/captionfaces.h"

#include <QFont>
#include <QFontInfo>
#include <QRawFont>
#include <QString>

// Empty where it is; otherwise what is wrong, for the test's message.
inline QString captionFaceFault(const QFont &font, const QString &text)
{
    const QString family = QFontInfo(font).family();
    const CaptionFace *face = nullptr;
    for (const CaptionFace *f : {&PopFace, &MinchoFace})
        if (family == QLatin1String(f->family))
            face = f;
    if (!face)
        return QStringLiteral("\"%1\" is drawn in %2, not in a caption face").arg(text, family);
    const QRawFont raw(captionFaceData(*face), 16);
    if (!raw.isValid())
        return QStringLiteral("%1 cannot be read").arg(family);
    QString missing;
    for (const char32_t c : text.toUcs4())
        if (!raw.supportsCharacter(c))
            missing += QString::fromUcs4(&c, 1);
    if (missing.isEmpty())
        return {};
    return QStringLiteral("%1 lacks %2 of \"%3\"").arg(family, missing, text);
}
