#pragma once
// TDataSet: a cursor over rows with a current record, field objects, states,
// events and data sources. Subclasses supply the cursor through a few virtual
// operations (open, close, field definitions, record count, the value of one
// field of one row, post, delete); everything else lives here, in the order
// the overrides rely on:
//
//   Open:  DoBeforeOpen → OpenCursor(false) [InternalOpen: InternalInitFieldDefs,
//          fields made by GetFieldClass] → first record → browse → DoAfterOpen
//   Close: DoBeforeClose → CloseCursor [DestroyLookupCursor, InternalClose] →
//          fields freed → inactive → DoAfterClose. A pending edit is dropped.
//
// Rows are never copied: in browse state a field read goes to the cursor's row
// (GetRecordValue); only a record being edited or inserted lives in value
// slots here, with a copy of its values as fetched (the old values). A grid
// points field reads at any row with SetActiveRecordIndex, or reads a value
// with RecordValue, without moving the current record.
#include "data/db/Component.h"
#include "data/db/DBErrors.h"
#include "data/db/DBTypes.h"
#include "data/db/Field.h"
#include "data/db/FieldDefs.h"
#include "data/db/IndexDefs.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <vector>

namespace db {

class TDataSource;

class TDataSet : public TComponent {
public:
    using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
    using TDataSetErrorEvent = std::function<void(TDataSet&, const std::exception&, TDataAction&)>;

    explicit TDataSet(TComponent* owner = nullptr);
    ~TDataSet() override;

    // ---- opening and closing
    void Open() { SetActive(true); }
    void Close() { SetActive(false); }
    bool Active() const { return FState != dsInactive && FState != dsOpening; }
    void SetActive(bool active);
    TDataSetState State() const { return FState; }

    // ---- definitions and fields
    TFieldDefs& FieldDefs() { return FFieldDefs; }
    TIndexDefs& IndexDefs() { return FIndexDefs; }
    TFields& Fields() { return FFields; }
    const TFields& Fields() const { return FFields; }
    int FieldCount() const { return FFields.Count(); }
    /// The named field (case-insensitive), or nullptr.
    TField* FindField(const AnsiString& name) const { return FFields.FindField(name); }
    /// The named field; raises "<Name>: Field 'x' not found".
    TField* FieldByName(const AnsiString& name) const { return FFields.FieldByName(name); }
    TField* FieldByNumber(int fieldNo) const { return FFields.FieldByNumber(fieldNo); }
    /// The fields named in "A;B", in order; raises when one is missing.
    std::vector<TField*> GetFieldList(const AnsiString& names) const;
    /// Brings the field definitions up to date, opening the cursor for them if closed.
    void UpdateFieldDefs();
    /// The values of the fields named in "A;B": one value, or an array for several.
    KeyValues FieldValues(const AnsiString& names) const;

    // ---- navigation
    void First();
    void Last();
    void Next() { MoveBy(1); }
    void Prior() { MoveBy(-1); }
    /// Moves up to `distance` records; returns how many it moved (signed).
    int MoveBy(int distance);
    bool Bof() const { return FBof; }
    bool Eof() const { return FEof; }
    /// No record to show (also when closed).
    bool IsEmpty() const;
    /// Rows in the cursor; raises on a closed dataset.
    int RecordCount() const;
    /// Current record number from 1 (0 when there is none).
    int RecNo() const;
    void SetRecNo(int recNo);
    /// The current record's bookmark (empty when there is none).
    TBookmark GetBookmark() const;
    TBookmark Bookmark() const { return GetBookmark(); }
    void SetBookmark(const TBookmark& bm) { GotoBookmark(bm); }
    void GotoBookmark(const TBookmark& bm);
    bool BookmarkValid(const TBookmark& bm) const;

    // ---- editing
    void Edit();
    void Insert() { BeginInsertAppend(false); }
    void Append() { BeginInsertAppend(true); }
    /// Writes the edited or inserted record; on failure the state and the change remain.
    void Post();
    void Cancel();
    void Delete();
    /// Posts a modified record being edited (or cancels an unmodified one).
    virtual void CheckBrowseMode();
    /// Lets bound controls write their pending text into the fields.
    void UpdateRecord();
    bool Modified() const { return FModified; }
    virtual bool CanModify() const { return true; }

    // ---- searching
    /// Moves to the first record whose key fields match; false leaves it where it was.
    virtual bool Locate(const AnsiString& keyFields, const KeyValues& keyValues,
                        TLocateOptions options);
    /// The result fields of the first matching record, without moving; null when none.
    virtual KeyValues Lookup(const AnsiString& keyFields, const KeyValues& keyValues,
                             const AnsiString& resultFields);

    // ---- controls
    void DisableControls();
    void EnableControls();
    bool ControlsDisabled() const { return FDisableCount > 0; }
    /// Tells the data sources (and through them the controls) what changed.
    virtual void DataEvent(TDataEvent event, intptr_t info);

    // ---- reads for grids
    /// Index (from 0) of the current record; -1 when there is none.
    int CurrentIndex() const { return FCurrent; }
    /// Rows a grid shows: the cursor's rows, plus the one being inserted.
    int ViewRecordCount() const;
    /// Index of the record being inserted, or -1.
    int InsertIndex() const { return FState == dsInsert ? FCurrent : -1; }
    /// Points field reads at record `index` (-1: the current record); returns the previous.
    int SetActiveRecordIndex(int index);
    /// The record field reads go to.
    int ActiveRecordIndex() const { return FActiveOverride >= 0 ? FActiveOverride : FCurrent; }
    /// The value of one field of one record (view index, as ViewRecordCount counts).
    bool RecordValue(int index, TField& field, Variant& out);

    // ---- field data (the vtable route of every field read and write)
    virtual bool GetFieldData(TField* field, Variant* buffer, bool nativeFormat);
    virtual bool GetFieldData(TField* field, Variant* buffer);
    virtual bool GetFieldData(int fieldNo, Variant* buffer);
    virtual void SetFieldData(TField* field, const Variant* buffer, bool nativeFormat);
    virtual void SetFieldData(TField* field, const Variant* buffer);
    /// The field's value in a value state (old, current, new).
    virtual Variant GetStateFieldValue(TDataSetState state, TField* field);
    /// Enters a temporary state without any event; returns the state to restore.
    TDataSetState SetTempState(TDataSetState state);
    void RestoreState(TDataSetState state);
    /// Makes the cursor's current row the current record; sends a data-set change.
    virtual void Resync(TResyncModes mode);

    // ---- events
    TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose;
    TDataSetNotifyEvent BeforeInsert, AfterInsert, BeforeEdit, AfterEdit;
    TDataSetNotifyEvent BeforePost, AfterPost, BeforeCancel, AfterCancel;
    TDataSetNotifyEvent BeforeDelete, AfterDelete, BeforeScroll, AfterScroll;
    TDataSetNotifyEvent OnNewRecord, OnCalcFields;
    TDataSetErrorEvent OnPostError, OnDeleteError, OnEditError;

protected:
    // ---- hooks that raise the events; overrides call the inherited one
    virtual void DoBeforeOpen() { Fire(BeforeOpen); }
    virtual void DoAfterOpen() { Fire(AfterOpen); }
    virtual void DoBeforeClose() { Fire(BeforeClose); }
    virtual void DoAfterClose() { Fire(AfterClose); }
    virtual void DoBeforeInsert() { Fire(BeforeInsert); }
    virtual void DoAfterInsert() { Fire(AfterInsert); }
    virtual void DoBeforeEdit() { Fire(BeforeEdit); }
    virtual void DoAfterEdit() { Fire(AfterEdit); }
    virtual void DoBeforePost() { Fire(BeforePost); }
    virtual void DoAfterPost() { Fire(AfterPost); }
    virtual void DoBeforeCancel() { Fire(BeforeCancel); }
    virtual void DoAfterCancel() { Fire(AfterCancel); }
    virtual void DoBeforeDelete() { Fire(BeforeDelete); }
    virtual void DoAfterDelete() { Fire(AfterDelete); }
    virtual void DoBeforeScroll() { Fire(BeforeScroll); }
    virtual void DoAfterScroll() { Fire(AfterScroll); }
    virtual void DoOnNewRecord() { Fire(OnNewRecord); }

    // ---- the cursor, supplied by subclasses
    /// Opens the cursor; with `infoQuery` only the field definitions are wanted.
    virtual void OpenCursor(bool infoQuery);
    /// Releases the lookup cursor, then closes the cursor.
    virtual void CloseCursor();
    /// Field definitions, then the fields made from them.
    virtual void InternalOpen();
    virtual void InternalClose() = 0;
    virtual void InternalInitFieldDefs() = 0;
    /// The class of the field object made for a field type.
    virtual TFieldClass GetFieldClass(TFieldType fieldType);
    virtual void CreateFields();
    void DestroyFields();
    /// Releases whatever a search kept open; called on close.
    virtual void DestroyLookupCursor() {}
    /// Refreshes IndexDefs; called when the framework needs them.
    virtual void UpdateIndexDefs() {}
    virtual int InternalRecordCount() const = 0;
    /// The value of a data field in cursor row `recIndex`; false when null.
    virtual bool GetRecordValue(int recIndex, TField& field, Variant& out) = 0;
    /// Puts the underlying cursor on row `recIndex` (before post, delete, searches).
    virtual void InternalSetToRecord(int recIndex) { (void)recIndex; }
    /// The row the underlying cursor is on (read by Resync); -1 when none.
    virtual int InternalCursorIndex() const { return FCurrent; }
    virtual void InternalEdit() {}
    virtual void InternalInsert() {}
    /// Writes the record being edited or inserted (EditBuffer, ChangedSlots);
    /// returns the cursor row it now occupies.
    virtual int InternalPost() = 0;
    virtual void InternalDelete() = 0;
    virtual void InternalCancel() {}
    virtual TBookmark InternalGetBookmark(int recIndex) const;
    /// The row of a bookmark, or -1 when it names no row.
    virtual int InternalBookmarkIndex(const TBookmark& bm) const;
    virtual void CheckRequiredFields();

    // ---- helpers for subclasses
    void SetState(TDataSetState state);
    void SetModified(bool modified) { FModified = modified; }
    void CheckActive() const;
    void CheckInactive() const;
    /// Positions the underlying cursor on the current record.
    void UpdateCursorPos();
    /// Notes that the underlying cursor was moved by someone else; the current
    /// record is re-read from it at the next Resync.
    void CursorPosChanged() { FCursorMoved = true; }
    bool CursorMoved() const { return FCursorMoved; }
    /// Runs OnCalcFields in the calculated-fields state over the scratch record.
    virtual void CalculateFields();
    /// Value slots of the record being edited or inserted, one per field.
    std::vector<Variant>& EditBuffer() { return FRecord; }
    /// Values of that record as fetched (all null for an insert).
    const std::vector<Variant>& OldBuffer() const { return FOldRecord; }
    /// Which slots were written since the edit began.
    const std::vector<bool>& ChangedSlots() const { return FChanged; }
    /// Slots read in the calculated-fields state (a scratch record for searches).
    std::vector<Variant>& TempBuffer() { return FTempRecord; }
    /// Resets the scratch record to nulls, one slot per field.
    void InitTempBuffer();
    /// Sets the current record without events (subclasses re-placing the cursor).
    void SetCurrentIndex(int index);
    /// Closes without the close events; for subclass destructors.
    void CloseForDestroy();

private:
    void Fire(const TDataSetNotifyEvent& e) {
        if (e)
            e(*this);
    }
    void OpenDataSet();
    void CloseDataSet(bool withEvents);
    void BeginInsertAppend(bool append);
    void LoadEditRecord();
    void ClearEditRecord();
    int FindRecord(const std::vector<TField*>& fields, const KeyValues& keys,
                   TLocateOptions options);
    void Scrolled(int newIndex, bool bof, bool eof);
    void AttachSource(TDataSource* source);
    void DetachSource(TDataSource* source);
    friend class TDataSource;

    TDataSetState FState = dsInactive;
    TFieldDefs FFieldDefs;
    TIndexDefs FIndexDefs;
    TFields FFields;
    std::vector<std::unique_ptr<TField>> FOwnedFields;
    std::vector<TDataSource*> FDataSources;
    std::vector<Variant> FRecord, FOldRecord, FTempRecord;
    std::vector<bool> FChanged;
    int FCurrent = -1;
    int FActiveOverride = -1;
    int FInsertOrigin = -1;  ///< current record before an insert, for Cancel
    bool FInserting = false; ///< the edit record is a new one at FCurrent
    bool FBof = true, FEof = true;
    bool FModified = false;
    bool FCursorMoved = false;
    int FDisableCount = 0;
    TDataSetState FDisableState = dsInactive;
    TDataEvent FEnableEvent = deDataSetChange;
};

/// Enters a temporary state for its lifetime and restores the previous one on every path.
class TTempState {
public:
    TTempState(TDataSet& dataSet, TDataSetState state)
        : FDataSet(dataSet), FSaved(dataSet.SetTempState(state)) {}
    ~TTempState() { FDataSet.RestoreState(FSaved); }
    TTempState(const TTempState&) = delete;
    TTempState& operator=(const TTempState&) = delete;

private:
    TDataSet& FDataSet;
    TDataSetState FSaved;
};

} // namespace db
