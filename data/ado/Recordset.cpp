#include "data/ado/Recordset.h"

#include "data/ado/Connection.h"
#include "data/ado/RecordsetImpl.h"
#include "data/ado/ValueText.h"

#include <algorithm>

namespace ado {

namespace {
[[noreturn]] void notOnRow() {
    throw AdoError("Either BOF or EOF is True, or the current record has been deleted. "
                   "Requested operation requires a current record.");
}
[[noreturn]] void noSuchItem() {
    throw AdoError("Item cannot be found in the collection corresponding to the requested name "
                   "or ordinal.");
}

std::vector<WideString> splitList(const WideString& text, char16_t separatorA,
                                  char16_t separatorB) {
    std::vector<WideString> parts;
    WideString cur;
    bool inBracket = false;
    for (char16_t c : text) {
        if (c == u'[')
            inBracket = true;
        else if (c == u']')
            inBracket = false;
        if (!inBracket && (c == separatorA || c == separatorB)) {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    return parts;
}

WideString trim(const WideString& s) {
    size_t b = s.find_first_not_of(u" \t"), e = s.find_last_not_of(u" \t");
    return b == WideString::npos ? WideString() : s.substr(b, e - b + 1);
}

WideString unbracket(const WideString& s) {
    if (s.size() >= 2 && s.front() == u'[' && s.back() == u']')
        return s.substr(1, s.size() - 2);
    return s;
}

/// Orders rows stably by the keys, the way Sort orders them. Each row's key
/// values are read from the store once, not again at every comparison.
void sortRows(const detail::RowStore& s, std::vector<Bookmark>& rows,
              const std::vector<detail::SortKey>& keys) {
    const size_t n = rows.size(), width = keys.size();
    std::vector<Variant> values;
    values.reserve(n * width);
    for (Bookmark b : rows)
        for (const auto& k : keys)
            values.push_back(s.value(b, k.column));
    std::vector<size_t> order(n);
    for (size_t i = 0; i < n; ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        for (size_t k = 0; k < width; ++k) {
            const int cmp = compareForSort(values[a * width + k], values[b * width + k]);
            if (cmp != 0)
                return keys[k].descending ? cmp > 0 : cmp < 0;
        }
        return false;
    });
    std::vector<Bookmark> sorted(n);
    for (size_t i = 0; i < n; ++i)
        sorted[i] = rows[order[i]];
    rows = std::move(sorted);
}
} // namespace

// --- Impl ---------------------------------------------------------------------

void Recordset::Impl::requireOpen() const {
    if (!open)
        throw AdoError("Operation is not allowed when the object is closed.");
}

Bookmark Recordset::Impl::current() const {
    if (!onRow())
        notOnRow();
    return view[static_cast<size_t>(pos)];
}

int Recordset::Impl::columnOf(const WideString& name) const {
    const auto& cols = store->columns;
    for (size_t c = 0; c < cols.size(); ++c)
        if (compareTextNoCase(cols[c].name, name) == 0)
            return static_cast<int>(c);
    return -1;
}

Variant Recordset::Impl::valueOf(int column) const {
    if (mode != EditMode::None && pending[column])
        return *pending[column];
    if (mode == EditMode::Add)
        return Variant::null();
    return store->value(current(), column);
}

void Recordset::Impl::rebuildView() {
    invalidateLookups();
    view.clear();
    const auto& s = *store;
    auto visible = [&](Bookmark b) {
        return !filter || filter->matches([&](int c) { return s.value(b, c); });
    };
    if (sortKeys.empty()) {
        for (Bookmark b = 1; b <= s.rows.size(); ++b)
            if (s.rows[b - 1] && visible(b))
                view.push_back(b);
    } else {
        // The sort is stable, so filtering the sorted rows gives the order sorting
        // the filtered ones would.
        if (sortedVersion != s.version) {
            sortedRows.clear();
            for (Bookmark b = 1; b <= s.rows.size(); ++b)
                if (s.rows[b - 1])
                    sortedRows.push_back(b);
            sortRows(s, sortedRows, sortKeys);
            sortedVersion = s.version;
        }
        if (!filter)
            view = sortedRows;
        else
            for (Bookmark b : sortedRows)
                if (visible(b))
                    view.push_back(b);
    }
    pos = 0; // the first row; with no rows this is also EOF
}

int64_t Recordset::Impl::indexOfBookmark(Bookmark b) {
    if (positionOf.empty()) {
        positionOf.assign(store->rows.size(), 0);
        for (size_t i = 0; i < view.size(); ++i)
            positionOf[view[i] - 1] = static_cast<uint32_t>(i + 1);
    }
    if (b < 1 || b > positionOf.size())
        return -1;
    return static_cast<int64_t>(positionOf[b - 1]) - 1;
}

// --- Field ----------------------------------------------------------------------

const ColumnInfo& Field::Info() const {
    return rs_->Columns().at(static_cast<size_t>(index_));
}
const WideString& Field::Name() const {
    return Info().name;
}
DataType Field::Type() const {
    return Info().type;
}
int64_t Field::DefinedSize() const {
    return Info().definedSize;
}
int Field::Precision() const {
    return Info().precision;
}
int Field::NumericScale() const {
    return Info().scale;
}
bool Field::IsNullable() const {
    return Info().nullable;
}

Variant Field::Value() const {
    rs_->d->requireOpen();
    return rs_->d->valueOf(index_);
}

Variant Field::OriginalValue() const {
    rs_->d->requireOpen();
    if (rs_->d->mode == EditMode::Add)
        return Variant::null();
    return rs_->d->store->value(rs_->d->current(), index_);
}

void Field::setValue(const Variant& value) {
    auto& d = *rs_->d;
    d.requireOpen();
    if (d.readOnly)
        throw AdoError("Current Recordset does not support updating. This may be a limitation of "
                       "the provider, or of the selected locktype.");
    if (d.mode == EditMode::None) {
        d.current();
        d.mode = EditMode::InProgress;
        d.pending.assign(d.store->columns.size(), std::nullopt);
    }
    // Check the conversion now, so that a bad value fails at the write, not at Update.
    d.store->checkValue(index_, value);
    d.pending[static_cast<size_t>(index_)] = value;
}

Variant Field::Property(const WideString& name) const {
    const ColumnInfo& c = Info();
    auto textOrNull = [](const WideString& s) {
        return s.empty() ? Variant::null() : Variant(s);
    };
    if (compareTextNoCase(name, u"BaseTableName") == 0)
        return textOrNull(c.baseTableName);
    if (compareTextNoCase(name, u"BaseColumnName") == 0)
        return textOrNull(c.baseColumnName);
    if (compareTextNoCase(name, u"BaseCatalogName") == 0)
        return textOrNull(c.baseCatalogName);
    if (compareTextNoCase(name, u"BaseSchemaName") == 0)
        return textOrNull(c.baseSchemaName);
    if (compareTextNoCase(name, u"ISAUTOINCREMENT") == 0)
        return Variant(c.autoIncrement);
    noSuchItem();
}

// --- Recordset: state, fields ---------------------------------------------------------

Recordset::Recordset() : d(std::make_unique<Impl>()) {}
Recordset::~Recordset() = default;

ObjectState Recordset::State() const {
    return d->open ? ObjectState::Open : ObjectState::Closed;
}

void Recordset::Close() {
    d->open = false;
    d->store.reset();
    d->view.clear();
    d->invalidateLookups();
    d->mode = EditMode::None;
    d->pos = -1;
    d->sortKeys.clear();
    d->forgetSortedRows();
    d->sortText.clear();
    d->filter.reset();
    d->filterText.clear();
    d->indexColumns.clear();
    d->indexText.clear();
}

std::shared_ptr<Recordset> Recordset::FromRows(std::vector<ColumnInfo> columns,
                                               const std::vector<std::vector<Variant>>& rows) {
    auto rs = std::make_shared<Recordset>();
    rs->d->store = std::make_shared<detail::RowStore>(std::move(columns));
    for (const auto& row : rows)
        rs->d->store->append(row);
    rs->d->open = true;
    rs->d->rebuildView();
    return rs;
}

size_t Recordset::MemoryUsed() const {
    return d->store ? d->store->memoryUsed() + d->view.capacity() * sizeof(Bookmark) : 0;
}

TADOConnection* Recordset::ActiveConnection() const {
    return d->link ? d->link->owner : nullptr;
}
const WideString& Recordset::Source() const {
    return d->source;
}

int Recordset::FieldCount() const {
    return d->store ? static_cast<int>(d->store->columns.size()) : 0;
}

const std::vector<ColumnInfo>& Recordset::Columns() const {
    d->requireOpen();
    return d->store->columns;
}

Field Recordset::Fields(int index) {
    if (index < 0 || index >= FieldCount())
        noSuchItem();
    return Field(this, index);
}

Field Recordset::Fields(const WideString& name) {
    const int c = FieldIndex(name);
    if (c < 0)
        noSuchItem();
    return Field(this, c);
}

int Recordset::FieldIndex(const WideString& name) const {
    return d->store ? d->columnOf(name) : -1;
}

// --- moving ------------------------------------------------------------------------

void Recordset::MoveFirst() {
    d->requireOpen();
    d->mode = EditMode::None;
    d->pos = 0;
}

void Recordset::MoveLast() {
    d->requireOpen();
    d->mode = EditMode::None;
    d->pos = d->view.empty() ? 0 : static_cast<int64_t>(d->view.size()) - 1;
}

void Recordset::Move(int64_t n) {
    d->requireOpen();
    if (n == 0)
        return;
    const int64_t size = static_cast<int64_t>(d->view.size());
    if ((n > 0 && d->pos >= size) || (n < 0 && d->pos < 0))
        notOnRow();
    d->mode = EditMode::None;
    d->pos = std::clamp<int64_t>(d->pos + n, -1, size);
}

void Recordset::MoveNext() {
    Move(1);
}
void Recordset::MovePrevious() {
    Move(-1);
}

bool Recordset::Bof() const {
    d->requireOpen();
    return d->pos < 0 || d->view.empty();
}

bool Recordset::Eof() const {
    d->requireOpen();
    return d->pos >= static_cast<int64_t>(d->view.size());
}

int64_t Recordset::RecordCount() const {
    d->requireOpen();
    return static_cast<int64_t>(d->view.size());
}

int64_t Recordset::AbsolutePosition() const {
    d->requireOpen();
    return d->onRow() ? d->pos + 1 : 0;
}

Bookmark Recordset::bookmark() const {
    d->requireOpen();
    return d->current();
}

void Recordset::setBookmark(Bookmark b) {
    d->requireOpen();
    if (b < 1 || b > d->store->rows.size())
        throw AdoError("Bookmark is invalid.");
    d->mode = EditMode::None;
    const int64_t i = d->indexOfBookmark(b);
    d->pos = i >= 0 ? i : static_cast<int64_t>(d->view.size());
}

std::shared_ptr<Recordset> Recordset::Clone(LockType lock) {
    d->requireOpen();
    auto rs = std::make_shared<Recordset>();
    auto& c = *rs->d;
    c.store = d->store;
    c.link = d->link;
    c.source = d->source;
    c.commandType = d->commandType;
    c.open = true;
    c.readOnly = lock == LockType::ReadOnly || d->readOnly;
    rs->cursorLocation = cursorLocation;
    rs->cursorType = cursorType;
    rs->lockType = lock;
    rs->commandTimeout = commandTimeout;
    c.rebuildView();
    return rs;
}

// --- sort, filter, find, seek ---------------------------------------------------------

void Recordset::setSort(const WideString& sortText) {
    d->requireOpen();
    std::vector<detail::SortKey> keys;
    if (!trim(sortText).empty()) {
        for (const WideString& part : splitList(sortText, u',', u',')) {
            WideString item = trim(part);
            bool descending = false;
            auto endsWithWord = [&](const char16_t* word, size_t len) {
                return item.size() > len &&
                       compareTextNoCase(item.substr(item.size() - len), word) == 0 &&
                       (item[item.size() - len - 1] == u' ' || item[item.size() - len - 1] == u']');
            };
            if (endsWithWord(u"DESC", 4)) {
                descending = true;
                item = trim(item.substr(0, item.size() - 4));
            } else if (endsWithWord(u"ASC", 3)) {
                item = trim(item.substr(0, item.size() - 3));
            }
            const int c = d->columnOf(unbracket(item));
            if (c < 0)
                noSuchItem();
            keys.push_back({c, descending});
        }
    }
    d->sortKeys = std::move(keys);
    d->forgetSortedRows();
    d->sortText = sortText;
    d->mode = EditMode::None;
    d->rebuildView();
}

const WideString& Recordset::Sort() const {
    return d->sortText;
}

void Recordset::setFilter(const WideString& criterion) {
    d->requireOpen();
    std::optional<Criterion> parsed;
    if (!trim(criterion).empty()) {
        try {
            Criterion c = Criterion::parseFilter(criterion);
            c.bind([&](const WideString& name) { return d->columnOf(name); });
            parsed = std::move(c);
        } catch (const CriterionError& e) {
            throw AdoError(e.what());
        }
    }
    std::swap(d->filter, parsed);
    d->mode = EditMode::None;
    try {
        d->rebuildView();
    } catch (const CriterionError& e) {
        // A value that does not fit a field shows only while rows are tested.
        std::swap(d->filter, parsed);
        d->rebuildView();
        throw AdoError(e.what());
    }
    d->filterText = criterion;
}

const WideString& Recordset::Filter() const {
    return d->filterText;
}

void Recordset::Find(const WideString& criterion, int64_t skipRecords, SearchDirection direction,
                     std::optional<Bookmark> start) {
    d->requireOpen();
    Criterion c;
    try {
        c = Criterion::parseFind(criterion);
        c.bind([&](const WideString& name) { return d->columnOf(name); });
    } catch (const CriterionError& e) {
        throw AdoError(e.what());
    }
    d->mode = EditMode::None;
    const int64_t size = static_cast<int64_t>(d->view.size());
    const int64_t step = direction == SearchDirection::Backward ? -1 : 1;
    int64_t i;
    if (start) {
        i = d->indexOfBookmark(*start);
        if (i < 0)
            throw AdoError("Bookmark is invalid.");
    } else {
        i = d->pos;
        if (i < 0 && step > 0)
            i = 0;
        if (i >= size && step < 0)
            i = size - 1;
    }
    i += skipRecords * step;
    const auto& s = *d->store;
    try {
        for (; i >= 0 && i < size; i += step) {
            const Bookmark b = d->view[static_cast<size_t>(i)];
            if (c.matches([&](int col) { return s.value(b, col); })) {
                d->pos = i;
                return;
            }
        }
    } catch (const CriterionError& e) {
        throw AdoError(e.what());
    }
    d->pos = step > 0 ? size : -1;
}

std::vector<int> Recordset::Impl::indexColumnsNamed(const WideString& indexName) {
    // An index of the base table, named as the index schema names it.
    const auto& cols = store->columns;
    auto base = std::find_if(cols.begin(), cols.end(),
                             [](const ColumnInfo& c) { return !c.baseTableName.empty(); });
    TADOConnection* connection = link ? link->owner : nullptr;
    if (base == cols.end() || !connection || !connection->Connected())
        return {};
    auto schema = connection->OpenSchema(
        Schema::Indexes, {Variant(base->baseCatalogName), Variant(base->baseSchemaName), Variant(),
                          Variant(), Variant(base->baseTableName)});
    std::vector<std::pair<int64_t, int>> found;
    for (schema->MoveFirst(); !schema->Eof(); schema->MoveNext()) {
        const Variant name = schema->Fields(u"INDEX_NAME").Value();
        if (!name.is<WideString>() || compareTextNoCase(name.get<WideString>(), indexName) != 0)
            continue;
        const Variant column = schema->Fields(u"COLUMN_NAME").Value();
        const Variant ordinal = schema->Fields(u"ORDINAL_POSITION").Value();
        int c = -1;
        for (size_t k = 0; k < cols.size() && column.is<WideString>(); ++k)
            if (cols[k].baseTableName == base->baseTableName &&
                compareTextNoCase(cols[k].baseColumnName, column.get<WideString>()) == 0)
                c = static_cast<int>(k);
        if (c < 0)
            return {};
        found.push_back({ordinal.is<int64_t>() ? ordinal.get<int64_t>() : 0, c});
    }
    std::sort(found.begin(), found.end());
    std::vector<int> out;
    for (const auto& f : found)
        out.push_back(f.second);
    return out;
}

void Recordset::setIndex(const WideString& fieldNames) {
    d->requireOpen();
    std::vector<int> cols;
    if (!trim(fieldNames).empty()) {
        for (const WideString& part : splitList(fieldNames, u';', u',')) {
            const int c = d->columnOf(unbracket(trim(part)));
            if (c < 0) {
                cols.clear();
                break;
            }
            cols.push_back(c);
        }
        if (cols.empty())
            cols = d->indexColumnsNamed(trim(fieldNames));
        if (cols.empty())
            noSuchItem();
    }
    d->indexColumns = std::move(cols);
    d->indexText = fieldNames;
    d->indexOrder.clear();
}

const WideString& Recordset::Index() const {
    return d->indexText;
}
bool Recordset::SupportsSeek() const {
    return d->open && !d->indexColumns.empty();
}

void Recordset::Seek(const std::vector<Variant>& keyValues, SeekOption option) {
    d->requireOpen();
    if (d->indexColumns.empty())
        throw AdoError("Current provider does not support the necessary interface for Index "
                       "functionality.");
    if (keyValues.empty() || keyValues.size() > d->indexColumns.size())
        throw AdoError("Arguments are of the wrong type, are out of acceptable range, or are in "
                       "conflict with one another.");
    const auto& s = *d->store;
    const auto& cols = d->indexColumns;
    auto& order = d->indexOrder;
    if (order.empty() && !d->view.empty()) {
        order = d->view;
        std::vector<detail::SortKey> ascending;
        for (int c : cols)
            ascending.push_back({c, false});
        sortRows(s, order, ascending);
    }
    // Compares a row with the key over the key's columns only.
    auto compareKey = [&](Bookmark b) {
        for (size_t k = 0; k < keyValues.size(); ++k) {
            const int cmp = compareForSort(s.value(b, cols[k]), keyValues[k]);
            if (cmp != 0)
                return cmp;
        }
        return 0;
    };
    const auto lower = std::partition_point(order.begin(), order.end(),
                                            [&](Bookmark b) { return compareKey(b) < 0; });
    const auto upper =
        std::partition_point(lower, order.end(), [&](Bookmark b) { return compareKey(b) == 0; });
    std::optional<Bookmark> found;
    switch (option) {
    case SeekOption::FirstEQ:
        if (lower != upper)
            found = *lower;
        break;
    case SeekOption::LastEQ:
        if (lower != upper)
            found = *(upper - 1);
        break;
    case SeekOption::AfterEQ:
        if (lower != order.end())
            found = *lower;
        break;
    case SeekOption::After:
        if (upper != order.end())
            found = *upper;
        break;
    case SeekOption::BeforeEQ:
        if (upper != order.begin())
            found = *(upper - 1);
        break;
    case SeekOption::Before:
        if (lower != order.begin())
            found = *(lower - 1);
        break;
    }
    d->mode = EditMode::None;
    d->pos = found ? d->indexOfBookmark(*found) : static_cast<int64_t>(d->view.size());
}

// --- changing rows ------------------------------------------------------------------------

EditMode Recordset::editMode() const {
    return d->mode;
}

void Recordset::AddNew() {
    d->requireOpen();
    if (d->readOnly)
        throw AdoError("Current Recordset does not support updating. This may be a limitation of "
                       "the provider, or of the selected locktype.");
    if (d->mode != EditMode::Add)
        d->positionBeforeAdd = d->pos;
    d->mode = EditMode::Add;
    d->pending.assign(d->store->columns.size(), std::nullopt);
}

void Recordset::CancelUpdate() {
    if (d->mode == EditMode::Add)
        d->pos = d->positionBeforeAdd;
    d->mode = EditMode::None;
    d->pending.clear();
}

} // namespace ado
