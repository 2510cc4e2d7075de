#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <gtest/gtest.h>

#include "FindChild.h"
#include "TestApp.h"
#include "about/sobre.h"
#include "tabulex_version.h"
#include "widgets/TListBox.h"
#include "widgets/TScrollTextPanel.h"

using namespace tabulex;
using tabulex::test::child;

namespace {

class AboutWindowTest : public ::testing::Test {
protected:
    AboutWindowTest()
    {
        window.setMailOpener([this](const QString& url) { requests << url; });
        SP_autor->setInterval(3600 * 1000);  // the tests step the panel themselves
    }

    // Which of the three panels show: terms, author, credits.
    std::tuple<bool, bool, bool> shown() const
    {
        return {!LB_licenca->isHidden(), !SP_autor->isHidden(), !LB_creditos->isHidden()};
    }
    void scroll(int steps)
    {
        for (int i = 0; i < steps; ++i)
            SP_autor->scrollStep();
    }
    // Clicks the mail link as the mouse does.
    void clickMailLink()
    {
        const QPointF inside(3, 3);
        QMouseEvent press(QEvent::MouseButtonPress, inside, Label3->mapToGlobal(inside),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, inside, Label3->mapToGlobal(inside),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Label3, &press);
        QApplication::sendEvent(Label3, &release);
    }

    test::AppFirst appFirst;
    TF_sobre window;
    QLabel* Label1 = child<QLabel>(window, "Label1");
    QLabel* Label2 = child<QLabel>(window, "Label2");
    QLabel* Label3 = child<QLabel>(window, "Label3");
    TListBox* LB_licenca = child<TListBox>(window, "LB_licenca");
    TScrollTextPanel* SP_autor = child<TScrollTextPanel>(window, "SP_autor");
    TListBox* LB_creditos = child<TListBox>(window, "LB_creditos");
    QPushButton* B_licenca = child<QPushButton>(window, "B_licenca");
    QPushButton* B_autor = child<QPushButton>(window, "B_autor");
    QPushButton* B_creditos = child<QPushButton>(window, "B_creditos");
    QPushButton* BitBtn1 = child<QPushButton>(window, "BitBtn1");
    QStringList requests;
};

}  // namespace

TEST_F(AboutWindowTest, WindowAndControlsStandWhereDesigned)
{
    EXPECT_EQ(window.windowTitle(), "Sobre");
    EXPECT_EQ(window.pos(), QPoint(169, 114));
    EXPECT_EQ(window.font().family(), "MS Sans Serif");
    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_EQ(Label1->text(), "Tabulex.exe   V.  " TABULEX_VERSION " Beta");
    EXPECT_EQ(Label1->font().family(), "Arial");
    EXPECT_EQ(Label1->font().pointSize(), 14);
    EXPECT_EQ(Label1->pos(), QPoint(145, 20));
    EXPECT_EQ(Label2->pos(), QPoint(161, 59));
    EXPECT_EQ(Label3->pos(), QPoint(212, 86));
    EXPECT_TRUE(Label3->text().endsWith(".example"));
    EXPECT_TRUE(Label3->font().underline());
    EXPECT_EQ(Label3->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(Label3->cursor().shape(), Qt::PointingHandCursor);

    const std::pair<QWidget*, QRect> placed[] = {
        {LB_licenca, QRect(127, 111, 318, 146)},  {SP_autor, QRect(124, 111, 320, 146)},
        {LB_creditos, QRect(125, 110, 321, 146)}, {B_licenca, QRect(13, 120, 88, 25)},
        {B_autor, QRect(14, 173, 88, 25)},        {B_creditos, QRect(13, 225, 88, 25)},
        {BitBtn1, QRect(187, 267, 75, 25)},
    };
    for (const auto& [widget, geometry] : placed) {
        EXPECT_EQ(widget->geometry(), geometry);
        EXPECT_TRUE(window.rect().contains(geometry));
    }
    EXPECT_EQ(B_licenca->text(), QString::fromUtf8("Licençade uso"));
    EXPECT_EQ(B_autor->text(), "Sobre o autor");
    EXPECT_EQ(B_creditos->text(), QString::fromUtf8("Créditos"));
    EXPECT_EQ(BitBtn1->text(), "OK");
    EXPECT_TRUE(BitBtn1->isDefault());
    EXPECT_EQ(LB_licenca->itemHeight(), 13);
    EXPECT_EQ(LB_creditos->itemHeight(), 13);
}

TEST_F(AboutWindowTest, TabOrderRunsFromThePanelsToTheButtons)
{
    const QList<QWidget*> order = {SP_autor, LB_licenca, LB_creditos, B_creditos,
                                   B_autor,  B_licenca,  BitBtn1};
    // The focus chain also runs through the list boxes' own parts; keep the controls only.
    QList<QWidget*> chain;
    QWidget* widget = SP_autor;
    do {
        if (order.contains(widget))
            chain << widget;
        widget = widget->nextInFocusChain();
    } while (widget != SP_autor && chain.size() < order.size());
    EXPECT_EQ(chain, order);
}

TEST_F(AboutWindowTest, PanelTexts)
{
    const QStringList author = SP_autor->Lines();
    ASSERT_EQ(author.size(), 43);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(author[i].isEmpty()) << i;
    EXPECT_EQ(author[8], "Sobre o Autor:");
    for (int i = 9; i < 43; i += 2)
        EXPECT_TRUE(author[i].isEmpty() && !author[i + 1].isEmpty()) << i;
    EXPECT_TRUE(SP_autor->Cycled());
    EXPECT_EQ(SP_autor->Interval(), 3600u * 1000);

    EXPECT_EQ(LB_creditos->Items().count(), 33);
    EXPECT_GT(LB_licenca->Items().count(), 0);
    EXPECT_EQ(LB_creditos->Items().displayText(1), QString::fromUtf8("Créditos"));
}

TEST_F(AboutWindowTest, StartsWithTheTermsOfUseAndTheAuthorTextStopped)
{
    EXPECT_EQ(shown(), std::make_tuple(true, false, false));
    EXPECT_FALSE(SP_autor->Active());
    TF_sobre fresh;
    EXPECT_EQ(child<TScrollTextPanel>(fresh, "SP_autor")->Interval(), 80u);
}

TEST_F(AboutWindowTest, AuthorButtonShowsAndRestartsTheScrollingText)
{
    B_autor->click();
    EXPECT_EQ(shown(), std::make_tuple(false, true, false));
    EXPECT_TRUE(SP_autor->Active());
    scroll(25);
    EXPECT_EQ(SP_autor->offset(), 25);

    B_autor->click();  // a second press starts from the beginning again
    EXPECT_TRUE(SP_autor->Active());
    EXPECT_EQ(SP_autor->offset(), 0);
}

TEST_F(AboutWindowTest, OtherPanelsHideTheAuthorTextWithoutStoppingIt)
{
    B_autor->click();
    scroll(10);
    B_licenca->click();
    EXPECT_EQ(shown(), std::make_tuple(true, false, false));
    EXPECT_TRUE(SP_autor->Active());
    scroll(5);
    EXPECT_EQ(SP_autor->offset(), 15);  // still running while hidden

    B_creditos->click();
    EXPECT_EQ(shown(), std::make_tuple(false, false, true));
    EXPECT_TRUE(SP_autor->Active());

    B_autor->click();
    EXPECT_EQ(shown(), std::make_tuple(false, true, false));
    EXPECT_EQ(SP_autor->offset(), 0);
}

TEST_F(AboutWindowTest, ClickingTheMailAddressMakesOneMailtoRequest)
{
    clickMailLink();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.first(), "mailto:" + Label3->text());
    EXPECT_LE(requests.first().size(), 79);
}

TEST_F(AboutWindowTest, MailTextIsCutTo79Characters)
{
    Label3->setText(QString(100, QLatin1Char('a')) + "@vorn.example");
    clickMailLink();
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.first(), "mailto:" + QString(72, QLatin1Char('a')));
}

TEST_F(AboutWindowTest, EscDoesNothingWhileOkAndTheCloseBoxEndTheWindow)
{
    window.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
    EXPECT_TRUE(window.isVisible());

    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Accepted);

    window.show();
    window.close();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(AboutWindowTest, ClosingWithTheAuthorTextRunningKeepsItForTheNextShowing)
{
    window.show();
    B_autor->click();
    scroll(7);
    BitBtn1->click();
    EXPECT_FALSE(window.isVisible());
    window.show();
    EXPECT_EQ(shown(), std::make_tuple(false, true, false));
    EXPECT_TRUE(SP_autor->Active());
    EXPECT_EQ(SP_autor->offset(), 7);
}
