// The box that tells of a failed keep or reopen, read off its widgets: in Japanese whatever the
// locale, naming the action, the file and the reason, in a face that has every character shown,
// modal without a nested event loop, with one line on standard error.
#include "app/application.h"
#include "sheet/failurebox.h"

#include <QAccessible>
#include <QFile>
#include <QFontInfo>
#include <QGlyphRun>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QTest>
#include <QTextLayout>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

using picturefile::Action;
using picturefile::Failure;
using picturefile::Why;

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Why)

namespace {

// What standard error receives while `run` runs.
template <typename Run> QString capturedStderr(Run run)
{
    std::fflush(stderr);
    FILE *capture = std::tmpfile();
    const int saved = ::dup(2);
    ::dup2(::fileno(capture), 2);
    run();
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(capture);
    QFile file;
    file.open(capture, QIODevice::ReadOnly);
    const QString text = QString::fromUtf8(file.readAll());
    file.close();
    std::fclose(capture);
    return text;
}

// Kana and no Latin letter: the program's own Japanese, not a reason left in English.
bool japaneseOnly(const QString &text)
{
    static const QRegularExpression kana(QStringLiteral("[\\x{3041}-\\x{30ff}]"));
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    return text.contains(kana) && !text.contains(latin);
}

// The faces that draw the laid-out text other than those the font names, and any character
// that none has (shown as a box).
QString strangeGlyphs(const QString &text, const QFont &font)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    while (layout.createLine().isValid()) {
    }
    layout.endLayout();
    QStringList named;
    for (const QString &family : font.families())
        named << family << QFontInfo(QFont(family)).family();
    QString strange;
    for (const QGlyphRun &run : layout.glyphRuns()) {
        const QString family = run.rawFont().familyName();
        if (!named.contains(family, Qt::CaseInsensitive))
            strange += QStringLiteral("[%1] ").arg(family);
        for (const quint32 glyph : run.glyphIndexes())
            if (glyph == 0)
                strange += QStringLiteral("[no glyph in %1] ").arg(family);
    }
    return strange;
}

} // namespace

class FailureBoxTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }
    void box_data();
    void box();
};

void FailureBoxTest::initTestCase()
{
    prepareApplication();
    // The run under a Japanese locale is only worth its name if the system speaks Japanese there.
    if (qEnvironmentVariable("LC_ALL").startsWith(QStringLiteral("ja"))) {
        const QString words = QString::fromLocal8Bit(std::strerror(EIO));
        QVERIFY2(japaneseOnly(words), qPrintable(words));
    }
}

void FailureBoxTest::box_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<Why>("why");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("told");

    // Each reason with the words the system or the decoder gives for it, in the locale's language,
    // and words that tell the reason in the program's own sentence.
    const struct {
        const char *name;
        Why why;
        int error;
        const char *decoder;
        const char *told;
    } reasons[] = {
        {"missing", Why::Missing, ENOENT, nullptr, "がない"},
        {"not a picture", Why::NotAPicture, 0, "Unable to read image data",
         "形にできな|絵ではない"},
        {"unsupported format", Why::UnsupportedFormat, 0, "Unsupported image format",
         "書けない|読めない"},
        {"too large", Why::TooLarge, 0, "Image is too large", "大きすぎる"},
        {"permission", Why::Permission, EACCES, nullptr, "許されていない"},
        {"read-only disk", Why::ReadOnlyDisk, EROFS, nullptr, "ディスクが読みとり専用"},
        {"disk full", Why::DiskFull, ENOSPC, nullptr, "いっぱい"},
        {"not a file", Why::NotAFile, EISDIR, nullptr, "ファイルではな"},
        {"read-only picture", Why::ReadOnlyPicture, EACCES, nullptr, "(ファイル|」)が読みとり専用"},
        {"owner would change", Why::OwnerWouldChange, EPERM, nullptr, "持ち主"},
        {"no memory", Why::NoMemory, ENOMEM, nullptr, "メモリ"},
        {"file size limit", Why::FileSizeLimit, EFBIG, nullptr, "上限"},
        {"folder unknown", Why::FolderUnknown, ENOENT, nullptr, "フォルダがわから"},
        {"other", Why::Other, EIO, nullptr, "思いがけない"},
    };
    // Paths as they come: plain, in other scripts than the captions' face has, and with
    // characters that markup would swallow.
    QTest::newRow("keep into a long folder name")
        << Action::Keep << Why::Permission
        << QStringLiteral("/media/hanako/%1/Image.bmp").arg(QString(200, u'e'))
        << qt_error_string(EACCES) << QStringLiteral("許されていない");
    const QString paths[] = {QStringLiteral("/home/hanako/pafuro/Image.bmp"),
                             QStringLiteral("/srv/그림/𠮷野/Image.bmp"),
                             QStringLiteral("/tmp/<b>a</b> &amp; b/Image.bmp")};
    int n = 0;
    for (const auto &r : reasons) {
        const QString detail = r.decoder ? QString::fromUtf8(r.decoder) : qt_error_string(r.error);
        for (const Action action : {Action::Keep, Action::Reopen}) {
            const QString &path = paths[n++ % 3];
            QTest::addRow("%s %s", action == Action::Keep ? "keep" : "reopen", r.name)
                << action << r.why << path << detail << QString::fromUtf8(r.told);
        }
    }
}

void FailureBoxTest::box()
{
    QFETCH(Action, action);
    QFETCH(Why, why);
    QFETCH(QString, path);
    QFETCH(QString, detail);
    QFETCH(QString, told);
    QWidget window;
    window.resize(496, 433);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // A nested event loop would run this timer before the call returns.
    bool nested = false;
    QTimer::singleShot(0, &window, [&] {
        nested = true;
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    // The box has a fixed size, which the offscreen platform has no window system to tell.
    QTest::ignoreMessage(QtWarningMsg, "This plugin does not support propagateSizeHints()");
    const QString log =
        capturedStderr([&] { showFailure(&window, action, path, Failure{why, 0, detail}); });
    QVERIFY2(!nested, "the box ran an event loop of its own");

    auto *box = window.findChild<QMessageBox *>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    // It takes the input from the window until it is closed.
    QCOMPARE(QApplication::activeModalWidget(), box);

    // One sentence of the program's own, naming the action, the file and why, as it is shown
    // (markup in a path is not read as such) and wrapped, so that the whole path can be read.
    auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    QVERIFY(label);
    QAccessibleInterface *shown = QAccessible::queryAccessibleInterface(label);
    const QString text = shown->text(QAccessible::Name).remove(QChar(0x200b));
    const QRect room = label->contentsRect();
    const int wrapped =
        QFontMetrics(label->font()).boundingRect(room, Qt::TextWordWrap, label->text()).width();
    QVERIFY2(wrapped <= room.width() &&
                 box->frameGeometry().width() <= box->screen()->size().width(),
             qPrintable(QStringLiteral("%1 pixels of text in %2").arg(wrapped).arg(room.width())));
    const QString actionWords = action == Action::Keep
                                    ? QStringLiteral("絵をとっておけませんでした")
                                    : QStringLiteral("前の絵をみられませんでした");
    QVERIFY2(text.contains(actionWords), qPrintable(text));
    QVERIFY2(text.contains(path), qPrintable(text));
    QVERIFY2(text.contains(QRegularExpression(told)), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("。")) && text.count(QStringLiteral("。")) == 1,
             qPrintable(text));
    // The system's words are the last resort, for a reason the program does not know.
    QCOMPARE(text.contains(detail), why == Why::Other);
    QString own = text;
    own.remove(path);
    own.remove(detail);
    QVERIFY2(japaneseOnly(own), qPrintable(text));
    for (int other = 0; other <= int(Why::Other); ++other) {
        if (Why(other) != why)
            QVERIFY2(failureMessage(action, path, Failure{Why(other), 0, detail}) != text,
                     qPrintable(QStringLiteral("reason %1 reads the same").arg(other)));
    }

    // The captions' face as the window resolves it, at a legible size, and a face for every
    // character beyond it.
    const QFontInfo face(label->font());
    QCOMPARE(face.family(), QFontInfo(QFont(QStringLiteral("富士ポップ"))).family());
    QVERIFY2(face.pixelSize() >= 16, qPrintable(QString::number(face.pixelSize())));
    QVERIFY2(strangeGlyphs(text, label->font()).isEmpty(),
             qPrintable(strangeGlyphs(text, label->font())));

    const QList<QAbstractButton *> buttons = box->buttons();
    QCOMPARE(buttons.size(), 1);
    const QString button = buttons[0]->text();
    QVERIFY2(japaneseOnly(button), qPrintable(button));
    QVERIFY(QFontInfo(buttons[0]->font()).pixelSize() >= 16);

    // One line for the log, in English but for the path and the system's words.
    QCOMPARE(log.count(QLatin1Char('\n')), 1);
    QVERIFY2(log.startsWith(QStringLiteral("pafuro: %1: ").arg(path)), qPrintable(log));
    QVERIFY2(log.contains(QLatin1String(action == Action::Keep ? "keep" : "reopen")),
             qPrintable(log));
    QVERIFY2(log.contains(detail), qPrintable(log));

    QTest::keyClick(box, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!window.findChild<QMessageBox *>());
}

QTEST_MAIN(FailureBoxTest)
#include "failurebox_test.moc"
