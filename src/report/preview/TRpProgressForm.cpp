#include "report/preview/TRpProgressForm.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "report/output/TRpPrinter.h"

namespace tabulex {

TRpProgressForm::TRpProgressForm(TRpPrinter* output, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      output_(output),
      bar_(new QProgressBar(this)),
      text_(new QLabel(this))
{
    setObjectName(QStringLiteral("TRpProgressForm"));
    setWindowTitle(QStringLiteral("Printing progress"));
    bar_->setRange(0, 100);
    bar_->setValue(0);
    text_->setAlignment(Qt::AlignCenter);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    connect(cancel, &QPushButton::clicked, this, [this] {
        if (output_ != nullptr)
            output_->Cancel();
    });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar_);
    layout->addWidget(text_);
    layout->addWidget(cancel, 0, Qt::AlignHCenter);
    resize(300, sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    if (output_ != nullptr)
        output_->SetClient(this, [this](int pages) { PagePrinted(pages); });
}

void TRpProgressForm::PagePrinted(int pages)
{
    // A run without a data set cannot tell how much is left: the bar shows it is busy and
    // the text counts the pages.
    bar_->setRange(0, 0);
    text_->setText(QStringLiteral("Page ") + QString::number(pages));
}

}  // namespace tabulex
