#include "data/db/DataSource.h"

#include "data/db/DataSet.h"

#include <algorithm>

namespace db {

// ---------------------------------------------------------------- TDataSource

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    for (TDataLink* link : std::vector<TDataLink*>(FDataLinks)) {
        link->FDataSource = nullptr;
        link->UpdateActive();
    }
    if (FDataSet)
        FDataSet->DetachSource(this);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == FDataSet)
        return;
    if (FDataSet)
        FDataSet->DetachSource(this);
    FDataSet = dataSet;
    if (FDataSet)
        FDataSet->AttachSource(this);
    UpdateState();
}

void TDataSource::SetEnabled(bool enabled) {
    FEnabled = enabled;
    UpdateState();
}

void TDataSource::UpdateState() {
    TDataSetState state = FEnabled && FDataSet ? FDataSet->State() : dsInactive;
    if (state == dsOpening)
        state = dsInactive;
    if (state == FState)
        return;
    FState = state;
    NotifyLinks(deUpdateState, 0);
    if (OnStateChange)
        OnStateChange(*this);
}

void TDataSource::NotifyLinks(TDataEvent event, intptr_t info) {
    for (TDataLink* link : std::vector<TDataLink*>(FDataLinks))
        link->DataEvent(event, info);
}

void TDataSource::DataEvent(TDataEvent event, intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (event == deDisabledStateChange) {
        // Controls are held back: links learn only whether the dataset is still open.
        FState = FEnabled && FDataSet && FDataSet->Active() ? FDataSet->State() : dsInactive;
        NotifyLinks(deDisabledStateChange, info);
        return;
    }
    if (FState == dsInactive)
        return;
    NotifyLinks(event, info);
    switch (event) {
    case deFieldChange:
    case deRecordChange:
    case deDataSetChange:
    case deDataSetScroll:
    case deLayoutChange:
        if (OnDataChange)
            OnDataChange(*this, event == deFieldChange || event == deRecordChange
                                    ? reinterpret_cast<TField*>(info)
                                    : nullptr);
        break;
    case deUpdateRecord:
        if (OnUpdateData)
            OnUpdateData(*this);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------- TDataLink

TDataLink::TDataLink() = default;

TDataLink::~TDataLink() {
    if (FDataSource)
        std::erase(FDataSource->FDataLinks, this);
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == FDataSource)
        return;
    if (FDataSource)
        std::erase(FDataSource->FDataLinks, this);
    FDataSource = source;
    if (FDataSource)
        FDataSource->FDataLinks.push_back(this);
    UpdateActive();
}

TDataSet* TDataLink::DataSet() const {
    return FDataSource ? FDataSource->DataSet() : nullptr;
}

void TDataLink::UpdateActive() {
    const bool active =
        FDataSource && FDataSource->State() != dsInactive && DataSet() && DataSet()->Active();
    if (active != FActive) {
        FActive = active;
        FFirstRecord = 0;
        if (FActive)
            AdjustWindow();
        ActiveChanged();
    }
    UpdateEditing();
}

void TDataLink::UpdateEditing() {
    const bool editing =
        FActive && DataSet() && (DataSet()->State() == dsEdit || DataSet()->State() == dsInsert);
    if (editing != FEditing) {
        FEditing = editing;
        EditingChanged();
    }
}

void TDataLink::SetBufferCount(int count) {
    FBufferCount = std::max(count, 1);
    if (FActive)
        AdjustWindow();
}

void TDataLink::AdjustWindow() {
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active())
        return;
    const int count = ds->ViewRecordCount();
    const int current = std::max(ds->CurrentIndex(), 0);
    if (current < FFirstRecord)
        FFirstRecord = current;
    else if (current >= FFirstRecord + FBufferCount)
        FFirstRecord = current - FBufferCount + 1;
    FFirstRecord = std::clamp(FFirstRecord, 0, std::max(count - FBufferCount, 0));
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!FActive || !ds)
        return 0;
    return std::clamp(ds->ViewRecordCount() - FFirstRecord, 0, FBufferCount);
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!FActive || !ds)
        return 0;
    return ds->ActiveRecordIndex() - FFirstRecord;
}

void TDataLink::SetActiveRecord(int row) {
    TDataSet* ds = DataSet();
    if (!FActive || !ds)
        return;
    ds->SetActiveRecordIndex(row < 0 ? -1 : FFirstRecord + row);
}

bool TDataLink::Edit() {
    TDataSet* ds = DataSet();
    if (!FActive || !ds || !ds->CanModify())
        return false;
    ds->Edit();
    return FEditing;
}

void TDataLink::UpdateRecord() {
    FUpdating = true;
    try {
        UpdateData();
    } catch (...) {
        FUpdating = false;
        throw;
    }
    FUpdating = false;
}

void TDataLink::DataEvent(TDataEvent event, intptr_t info) {
    switch (event) {
    case deUpdateState:
    case deDisabledStateChange:
        UpdateActive();
        break;
    case deFieldChange:
    case deRecordChange:
        if (!FUpdating)
            RecordChanged(reinterpret_cast<TField*>(info));
        break;
    case deDataSetChange:
        AdjustWindow();
        DataSetChanged();
        break;
    case deDataSetScroll: {
        AdjustWindow();
        DataSetScrolled(static_cast<int>(info));
        break;
    }
    case deLayoutChange:
    case deFieldListChange:
        AdjustWindow();
        LayoutChanged();
        break;
    case deUpdateRecord:
        UpdateRecord();
        break;
    case deCheckBrowseMode:
        CheckBrowseMode();
        break;
    case deFocusControl:
        FocusControl(reinterpret_cast<TField*>(info));
        break;
    default:
        break;
    }
    if (event == deUpdateState)
        UpdateEditing();
}

} // namespace db
