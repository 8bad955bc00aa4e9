#include "app/application.h"

#include "app/accessibility.h"

#include <QApplication>
#include <QFont>

void prepareApplication()
{
    // Every pointer position the window system reports stamps a disc. Qt switches move
    // compression on while the application object is built on X11, so it is switched off after.
    QCoreApplication::setAttribute(Qt::AA_CompressHighFrequencyEvents, false);

    // Stand-ins for the captions' faces: a rounded proportional face and a proportional Mincho.
    QFont::insertSubstitutions(QStringLiteral("富士ポップ"),
                               {QStringLiteral("Konatu"), QStringLiteral("MotoyaLMaru")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐ明朝"),
                               {QStringLiteral("IPAPMincho"), QStringLiteral("IPA P明朝")});
    installAccessibility();
    // The desktop entry's name, so that the desktop finds the window's menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.pafuro.pafuro"));
}
