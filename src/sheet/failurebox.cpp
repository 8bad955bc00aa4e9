#include "sheet/failurebox.h"

#include <QMessageBox>

#include <cstdio>

void showFailure(QWidget *window, picturefile::Action, const QString &path,
                 const picturefile::Failure &failure)
{
    std::fprintf(stderr, "pafuro: %s: %s\n", qUtf8Printable(path), qUtf8Printable(failure.detail));
    auto *box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Pafuro"), failure.detail,
                                QMessageBox::Ok, window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::ApplicationModal);
    box->show();
}
