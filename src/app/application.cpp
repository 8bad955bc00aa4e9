#include "app/application.h"

#include "app/accessibility.h"
#include "app/captionfaces.h"

#include <QApplication>
#include <QFont>

void prepareApplication()
{
    // Every pointer position the window system reports stamps a disc. Qt switches move
    // compression on while the application object is built on X11, so it is switched off after.
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);

    // Stand-ins for the captions' faces, where those are missing: a rounded face and a bold
    // Mincho of the program's own.
    addCaptionFaces();
    QFont::insertSubstitution(QStringLiteral("富士ポップ"), QString::fromLatin1(PopFace.family));
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐ明朝"),
                              QString::fromLatin1(MinchoFace.family));
    installAccessibility();
    // The desktop entry's name, so that the desktop finds the window's menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.pafuro.pafuro"));
}
