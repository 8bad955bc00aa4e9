#include "sheet/failurebox.h"

#include <QFont>
#include <QMessageBox>
#include <QPushButton>
#include <QTextBoundaryFinder>

#include <cstdio>
#include <iterator>

using picturefile::Action;
using picturefile::Failure;
using picturefile::Why;

namespace {

// Why a keep or a reopen failed, as the start of the sentence (a reopen's names the file, %1),
// and the log line's reason in English when the system gave no words of its own. One row per
// reason, in the order of Why; an unexpected error (Why::Other) is told in the system's words.
struct Reason {
    const char *keep;
    const char *reopen;
    const char *log;
};
constexpr Reason reasons[] = {
    {"絵をしまうフォルダがないので", "「%1」がないので", "no such file"},
    {"絵をファイルの形にできなかったので", "「%1」は絵ではないか、とちゅうで切れているので",
     "not a picture"},
    {"その形のファイルには書けないので", "「%1」はこのプログラムには読めない形の絵なので",
     "unsupported picture format"},
    {"絵が大きすぎるので", "「%1」が大きすぎるので", "picture too large"},
    {"そこに書くことが許されていないので", "「%1」を読むことが許されていないので",
     "permission denied"},
    {"ディスクが読みとり専用なので", "「%1」のディスクが読みとり専用なので",
     "read-only file system"},
    {"ディスクがいっぱいなので", "「%1」のディスクがいっぱいなので", "no space left on the disk"},
    {"その名前のところにファイルではないもの（フォルダなど）があるので",
     "「%1」はファイルではなく、フォルダなどなので", "not a regular file"},
    {"前の絵のファイルが読みとり専用なので", "「%1」が読みとり専用なので",
     "the picture file is read-only"},
    {"ファイルの持ち主が変わってしまうので", "「%1」の持ち主が変わってしまうので",
     "replacing the file would change its owner"},
    {"メモリが足りないので", "「%1」を読むにはメモリが足りないので", "out of memory"},
    {"ファイルの大きさの上限をこえてしまうので", "「%1」がファイルの大きさの上限をこえているので",
     "file size limit exceeded"},
    {"このプログラムのフォルダがわからないので",
     "このプログラムのフォルダがわからず「%1」が見つからないので",
     "the program's folder cannot be found"},
};
static_assert(std::size(reasons) == std::size_t(Why::Other), "one row for each known reason");

const Reason &reason(Why why)
{
    return reasons[std::size_t(why)];
}

// The system's own words, which are all there is to tell of an error the program does not know.
QString systemText(const Failure &failure)
{
    if (!failure.detail.isEmpty())
        return failure.detail;
    if (failure.error != 0)
        return qt_error_string(failure.error);
    return QString();
}

QString unexpected(const Failure &failure)
{
    const QString words = systemText(failure);
    return words.isEmpty() ? QStringLiteral("思いがけないエラーがおきたので")
                           : QStringLiteral("思いがけないエラー（%1）がおきたので").arg(words);
}

// The captions' face, as the window resolves it, and then a system face that has every
// Japanese character, for what a path or the system's words bring beyond the captions.
QFont boxFont()
{
    const QString caption = QStringLiteral("富士ポップ");
    QFont font;
    font.setFamilies(QStringList(caption) + QFont::substitutes(caption) +
                     QStringList(QStringLiteral("Noto Sans CJK JP")));
    font.setPixelSize(24);
    return font;
}

// A path may be wider than the screen and has no spaces to wrap at: it may wrap after any of its
// characters, by an invisible break between each two.
QString breakable(const QString &path)
{
    QString text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, path);
    for (qsizetype from = 0, to; (to = characters.toNextBoundary()) > 0; from = to)
        text += (from ? QStringLiteral("\u200b") : QString()) + path.mid(from, to - from);
    return text;
}

} // namespace

QString failureMessage(Action action, const QString &path, const Failure &failure)
{
    // A folder that could not be found leaves no path; the file's own name still says which.
    const QString file = path.isEmpty() ? QStringLiteral("Image.bmp") : path;
    const bool known = failure.why != Why::Other;
    if (action == Action::Keep) {
        const QString why =
            known ? QString::fromUtf8(reason(failure.why).keep) : unexpected(failure);
        return why + QStringLiteral("、「%1」に絵をとっておけませんでした。").arg(file);
    }
    const QString why = known ? QString::fromUtf8(reason(failure.why).reopen).arg(file)
                              : QStringLiteral("「%1」を読むと").arg(file) + unexpected(failure);
    return why + QStringLiteral("、前の絵をみられませんでした。");
}

void showFailure(QWidget *window, Action action, const QString &path, const Failure &failure)
{
    // The log stays in English, with the system's own words as it gives them.
    std::fprintf(stderr, "pafuro: %s: cannot %s the picture: %s\n", qUtf8Printable(path),
                 action == Action::Keep ? "keep" : "reopen",
                 !failure.detail.isEmpty()   ? qUtf8Printable(failure.detail)
                 : failure.why == Why::Other ? "error"
                                             : reason(failure.why).log);
    auto *box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Pafuro"));
    box->setIcon(QMessageBox::Critical);
    box->setFont(boxFont());
    // A path is shown as it is, never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(failureMessage(action, breakable(path), failure));
    // Named here rather than through a translation, which would be loaded for this one word.
    QPushButton *close = box->addButton(QStringLiteral("閉じる"), QMessageBox::RejectRole);
    box->setDefaultButton(close);
    box->setEscapeButton(close);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
