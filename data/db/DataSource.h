#pragma once
// TDataSource binds one dataset to any number of data links; a data-aware
// control owns a TDataLink and hears, through its virtuals, what the dataset
// did. A link also keeps a window of records for controls that show several
// rows (a grid): BufferCount rows from FirstRecord on, kept around the
// current record as the dataset scrolls. Pointing the link's ActiveRecord at
// a row makes field reads return that row without moving the dataset.
#include "data/db/Component.h"
#include "data/db/DBTypes.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace db {

class TDataSet;
class TDataLink;
class TField;

class TDataSource : public TComponent {
public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return FDataSet; }
    void SetDataSet(TDataSet* dataSet);
    /// A disabled source tells its links the dataset is inactive.
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool enabled);
    /// The dataset's state as the links were last told.
    TDataSetState State() const { return FState; }
    const std::vector<TDataLink*>& DataLinks() const { return FDataLinks; }

    /// Called with the changed field (nullptr: the whole record) on record changes and scrolls.
    std::function<void(TDataSource&, TField*)> OnDataChange;
    std::function<void(TDataSource&)> OnStateChange;
    std::function<void(TDataSource&)> OnUpdateData;

    /// The dataset's events arrive here and go on to every link.
    void DataEvent(TDataEvent event, intptr_t info);

private:
    friend class TDataSet;
    friend class TDataLink;
    void UpdateState();
    void NotifyLinks(TDataEvent event, intptr_t info);

    TDataSet* FDataSet = nullptr;
    std::vector<TDataLink*> FDataLinks;
    TDataSetState FState = dsInactive;
    bool FEnabled = true;
};

class TDataLink {
public:
    TDataLink();
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return FDataSource; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    /// True while the source's dataset is open.
    bool Active() const { return FActive; }
    /// True while the dataset is in edit or insert state.
    bool Editing() const { return FEditing; }

    /// Rows this link shows at once (1 for single-record controls).
    int BufferCount() const { return FBufferCount; }
    void SetBufferCount(int count);
    /// Dataset record index of the window's first row.
    int FirstRecord() const { return FFirstRecord; }
    /// Rows of the window that hold records.
    int RecordCount() const;
    /// Window row of the record field reads go to (the current one unless set).
    int ActiveRecord() const;
    /// Points field reads at window row `row`; -1 returns them to the current record.
    void SetActiveRecord(int row);
    /// Puts the dataset into edit state; false when it cannot be edited.
    bool Edit();
    /// Asks the control to write its pending value (sends deUpdateRecord).
    void UpdateRecord();

    /// Dispatches one dataset event to the virtuals below.
    virtual void DataEvent(TDataEvent event, intptr_t info);

protected:
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    virtual void DataSetScrolled(int distance) {
        (void)distance;
        DataSetChanged();
    }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* field) { (void)field; }
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* field) { (void)field; }
    virtual void UpdateData() {}

private:
    friend class TDataSource;
    void UpdateActive();
    void UpdateEditing();
    /// Keeps the current record inside the window.
    void AdjustWindow();

    TDataSource* FDataSource = nullptr;
    bool FActive = false;
    bool FEditing = false;
    bool FUpdating = false;
    int FBufferCount = 1;
    int FFirstRecord = 0;
};

} // namespace db
