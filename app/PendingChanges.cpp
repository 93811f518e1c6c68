// Closing the window never drops an operator's edit without a word: when a grid's
// dataset holds a change that was not posted, the operator is asked once whether
// to post it. Yes posts every such change and closes, unless a post fails: then
// its error is shown, the change stays pending and the window stays open. No
// cancels the changes and closes.
#include "app/AnsiText.h"
#include "app/Unit1.h"
#include "platform/Dialogs.h"

#include <QApplication>

bool TVelkin::SettlePendingChanges() {
    // An open cell editor hands its text to the field when it loses the focus.
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();

    std::vector<db::TDataSet*> pending;
    for (db::TDataSet* dataSet :
         {static_cast<db::TDataSet*>(&browTntADOTableLX), static_cast<db::TDataSet*>(&adods_TTRS),
          static_cast<db::TDataSet*>(&ResultADODataSet)}) {
        const bool editing = dataSet->State() == db::dsEdit || dataSet->State() == db::dsInsert;
        if (dataSet->Active() && editing && dataSet->Modified())
            pending.push_back(dataSet);
    }
    if (pending.empty())
        return true;

    const platform::Answer answer =
        platform::dialogs().askYesNo(ApplicationTitle, "Post the pending change before closing?");
    bool settled = true;
    for (db::TDataSet* dataSet : pending) {
        if (answer == platform::Answer::Yes) {
            try {
                dataSet->Post();
            } catch (const std::exception& e) {
                platform::ShowStandardError(ApplicationTitle, AnsiToQString(e.what()));
                settled = false;
            }
        } else {
            Guarded([&] { dataSet->Cancel(); });
        }
    }
    return settled;
}
