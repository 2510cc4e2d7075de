#pragma once
#include <QDialog>
#include <QString>
#include <functional>

class QLabel;
class QPushButton;

namespace tabulex {

class TListBox;
class TScrollTextPanel;

/// The About window: program name and version, release line, the mail link, and one of
/// three panels (terms of use, the scrolling text about the author, credits) chosen by the
/// buttons on its left. Shown modally; OK, Enter or the close box end it, Esc does nothing.
/// Which panel is visible, and a running author text, carry over between showings.
class TF_sobre : public QDialog {
    Q_OBJECT
public:
    /// Receives the "mailto:" text of the mail link; its outcome is not examined.
    using MailOpener = std::function<void(const QString& url)>;

    explicit TF_sobre(QWidget* parent = nullptr);
    ~TF_sobre() override;

    /// Replaces the default opener (the desktop's handler for the URL), e.g. in tests.
    void setMailOpener(MailOpener opener) { openMail_ = std::move(opener); }

    void B_licencaClick(QObject* sender = nullptr);
    void B_autorClick(QObject* sender = nullptr);
    void B_creditosClick(QObject* sender = nullptr);
    void Label3Click(QObject* sender = nullptr);

    // Controls, owned by the window.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    TListBox* LB_licenca = nullptr;
    TScrollTextPanel* SP_autor = nullptr;
    TListBox* LB_creditos = nullptr;
    QPushButton* B_licenca = nullptr;
    QPushButton* B_autor = nullptr;
    QPushButton* B_creditos = nullptr;
    QPushButton* BitBtn1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();

    MailOpener openMail_;
};

}  // namespace tabulex
