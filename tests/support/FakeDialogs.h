#pragma once
#include <QDialog>
#include <QStringList>
#include <deque>

#include "dialogs/TDialogs.h"

namespace tabulex::testing {

/// A dialog layer that answers from a script and records what it was asked.
class FakeDialogs : public TDialogs {
public:
    std::deque<QString> openAnswers;  ///< paths to return, empty string = cancel
    std::deque<QString> saveAnswers;
    std::deque<std::optional<QFont>> fontAnswers;
    std::deque<int> modalAnswers;       ///< results for execModal; Rejected when empty
    std::deque<QString> folderAnswers;  ///< folders to return, empty string = cancel
    QStringList messages;
    QStringList proposedNames;
    QString saveFilter;  ///< filter reported as chosen by the filter-aware save dialog
    QStringList saveCaptions;
    QStringList saveFilters;
    QList<QDialog*> modalShown;
    QFont lastInitialFont;
    std::deque<std::optional<int>> numberAnswers;  ///< answers for askNumber; cancel when empty
    QStringList numberCaptions;
    int lastNumberMaximum = 0;
    QStringList openStartFolders;  ///< the start folder at each open dialog
    QStringList openFilters;

    QString openFileName(QWidget*, const QString&, const QString& filter) override
    {
        openStartFolders << startFolder();
        openFilters << filter;
        return take(openAnswers);
    }
    std::optional<int> askNumber(QWidget*, const QString& caption, const QString&, int, int,
                                 int maximum) override
    {
        numberCaptions << caption;
        lastNumberMaximum = maximum;
        if (numberAnswers.empty())
            return std::nullopt;
        auto answer = numberAnswers.front();
        numberAnswers.pop_front();
        return answer;
    }
    QString saveFileName(QWidget*, const QString&, const QString& proposed, const QString&,
                         const QString&) override
    {
        proposedNames << proposed;
        return take(saveAnswers);
    }
    QString saveFileNameFiltered(QWidget*, const QString& caption, const QString& proposed,
                                 const QString& filter, const QString&, QString& selected) override
    {
        saveCaptions << caption;
        saveFilters << filter;
        proposedNames << proposed;
        selected = saveFilter;
        return take(saveAnswers);
    }
    std::optional<QFont> chooseFont(QWidget*, const QFont& initial) override
    {
        lastInitialFont = initial;
        if (fontAnswers.empty())
            return std::nullopt;
        auto answer = fontAnswers.front();
        fontAnswers.pop_front();
        return answer;
    }
    void showMessage(QWidget*, const QString& text) override { messages << text; }
    QString existingFolder(QWidget*, const QString&, const QString&) override
    {
        return take(folderAnswers);
    }
    int execModal(QDialog* dialog) override
    {
        modalShown << dialog;
        if (modalAnswers.empty())
            return QDialog::Rejected;
        int answer = modalAnswers.front();
        modalAnswers.pop_front();
        return answer;
    }

private:
    static QString take(std::deque<QString>& answers)
    {
        if (answers.empty())
            return {};
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

}  // namespace tabulex::testing
