#pragma once
#include <QWidget>

#include "report/output/TRpPageRecord.h"

namespace tabulex {

/// The page shown by a preview control: a white page with a black border and a shadow, the
/// page's recording stretched over it. Draws nothing before a page is set.
class TRpPreviewImage : public QWidget {
    Q_OBJECT
public:
    explicit TRpPreviewImage(QWidget* parent = nullptr);

    void SetPage(TRpPageRecord page);
    void ClearPage();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TRpPageRecord page_;
    bool hasPage_ = false;
};

}  // namespace tabulex
