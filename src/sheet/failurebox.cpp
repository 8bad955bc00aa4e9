#include "sheet/failurebox.h"

#include <QFont>
#include <QMessageBox>
#include <QPushButton>

#include <cstdio>

using picturefile::Action;
using picturefile::Failure;
using picturefile::Why;

namespace {

// Why a keep failed, as the start of the sentence; the path follows in the action's part.
QString keepReason(const Failure &failure)
{
    switch (failure.why) {
    case Why::Missing:
        return QStringLiteral("絵をしまうフォルダがないので");
    case Why::NotAPicture:
        return QStringLiteral("絵をファイルの形にできなかったので");
    case Why::UnsupportedFormat:
        return QStringLiteral("その形のファイルには書けないので");
    case Why::TooLarge:
        return QStringLiteral("絵が大きすぎるので");
    case Why::Permission:
        return QStringLiteral("そこに書くことが許されていないので");
    case Why::ReadOnlyDisk:
        return QStringLiteral("ディスクが読みとり専用なので");
    case Why::DiskFull:
        return QStringLiteral("ディスクがいっぱいなので");
    case Why::NotAFile:
        return QStringLiteral("その名前のところにファイルではないもの（フォルダなど）があるので");
    case Why::ReadOnlyPicture:
        return QStringLiteral("前の絵のファイルが読みとり専用なので");
    case Why::OwnerWouldChange:
        return QStringLiteral("ファイルの持ち主が変わってしまうので");
    case Why::NoMemory:
        return QStringLiteral("メモリが足りないので");
    case Why::FileSizeLimit:
        return QStringLiteral("ファイルの大きさの上限をこえてしまうので");
    case Why::FolderUnknown:
        return QStringLiteral("このプログラムのフォルダがわからないので");
    case Why::Other:
        break;
    }
    return QString();
}

// Why a reopen failed, naming the file (%1) where it is the file's own fault.
QString reopenReason(const Failure &failure)
{
    switch (failure.why) {
    case Why::Missing:
        return QStringLiteral("「%1」がないので");
    case Why::NotAPicture:
        return QStringLiteral("「%1」は絵ではないか、とちゅうで切れているので");
    case Why::UnsupportedFormat:
        return QStringLiteral("「%1」はこのプログラムには読めない形の絵なので");
    case Why::TooLarge:
        return QStringLiteral("「%1」が大きすぎるので");
    case Why::Permission:
        return QStringLiteral("「%1」を読むことが許されていないので");
    case Why::ReadOnlyDisk:
        return QStringLiteral("「%1」のディスクが読みとり専用なので");
    case Why::DiskFull:
        return QStringLiteral("「%1」のディスクがいっぱいなので");
    case Why::NotAFile:
        return QStringLiteral("「%1」はファイルではなく、フォルダなどなので");
    case Why::ReadOnlyPicture:
        return QStringLiteral("「%1」が読みとり専用なので");
    case Why::OwnerWouldChange:
        return QStringLiteral("「%1」の持ち主が変わってしまうので");
    case Why::NoMemory:
        return QStringLiteral("「%1」を読むにはメモリが足りないので");
    case Why::FileSizeLimit:
        return QStringLiteral("「%1」がファイルの大きさの上限をこえているので");
    case Why::FolderUnknown:
        return QStringLiteral("このプログラムのフォルダがわからず「%1」が見つからないので");
    case Why::Other:
        break;
    }
    return QString();
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

// The log line's reason in English when the system gave no words of its own.
const char *logReason(Why why)
{
    switch (why) {
    case Why::Missing: return "no such file";
    case Why::NotAPicture: return "not a picture";
    case Why::UnsupportedFormat: return "unsupported picture format";
    case Why::TooLarge: return "picture too large";
    case Why::Permission: return "permission denied";
    case Why::ReadOnlyDisk: return "read-only file system";
    case Why::DiskFull: return "no space left on the disk";
    case Why::NotAFile: return "not a regular file";
    case Why::ReadOnlyPicture: return "the picture file is read-only";
    case Why::OwnerWouldChange: return "replacing the file would change its owner";
    case Why::NoMemory: return "out of memory";
    case Why::FileSizeLimit: return "file size limit exceeded";
    case Why::FolderUnknown: return "the program's folder cannot be found";
    case Why::Other: break;
    }
    return "error";
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

} // namespace

QString failureMessage(Action action, const QString &path, const Failure &failure)
{
    // A folder that could not be found leaves no path; the file's own name still says which.
    const QString file = path.isEmpty() ? QStringLiteral("Image.bmp") : path;
    if (action == Action::Keep) {
        const QString reason =
            failure.why == Why::Other ? unexpected(failure) : keepReason(failure);
        return reason + QStringLiteral("、「%1」に絵をとっておけませんでした。").arg(file);
    }
    const QString reason = failure.why == Why::Other
                               ? QStringLiteral("「%1」を読むと").arg(file) + unexpected(failure)
                               : reopenReason(failure).arg(file);
    return reason + QStringLiteral("、前の絵をみられませんでした。");
}

void showFailure(QWidget *window, Action action, const QString &path, const Failure &failure)
{
    // The log stays in English, with the system's own words as it gives them.
    std::fprintf(stderr, "pafuro: %s: cannot %s the picture: %s\n", qUtf8Printable(path),
                 action == Action::Keep ? "keep" : "reopen",
                 failure.detail.isEmpty() ? logReason(failure.why)
                                          : qUtf8Printable(failure.detail));
    auto *box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Pafuro"));
    box->setIcon(QMessageBox::Critical);
    box->setFont(boxFont());
    // A path is shown as it is, never read as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(failureMessage(action, path, failure));
    // Named here rather than through a translation, which would be loaded for this one word.
    QPushButton *close = box->addButton(QStringLiteral("閉じる"), QMessageBox::RejectRole);
    box->setDefaultButton(close);
    box->setEscapeButton(close);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
