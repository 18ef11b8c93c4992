#include "db/lookup.h"

#include <mysql.h>

#include <new>

namespace sstrxv {
namespace {

bool isStringType(enum_field_types type) noexcept {
  switch (type) {
    case MYSQL_TYPE_VARCHAR:
    case MYSQL_TYPE_VAR_STRING:
    case MYSQL_TYPE_STRING:
    case MYSQL_TYPE_TINY_BLOB:
    case MYSQL_TYPE_MEDIUM_BLOB:
    case MYSQL_TYPE_LONG_BLOB:
    case MYSQL_TYPE_BLOB:
      return true;
    default:
      return false;
  }
}

// The two key columns of a set statement compare as the per-row statement
// compares its quoted key with the lookup table's column: both strings of
// one collation, so that neither side is converted and the lookup
// column's collation decides.
bool keysCompareAsPerRow(st_mysql_res* result) noexcept {
  if (mysql_num_fields(result) < 2) return false;
  const MYSQL_FIELD* key = mysql_fetch_field_direct(result, 0);
  const MYSQL_FIELD* lookupKey = mysql_fetch_field_direct(result, 1);
  return key != nullptr && lookupKey != nullptr && isStringType(key->type) && isStringType(lookupKey->type) &&
         key->charsetnr == lookupKey->charsetnr;
}

}  // namespace

std::size_t StoredRows::add(const Row& row, unsigned first, unsigned count) {
  starts_.push_back({cells_.size(), count});
  for (unsigned column = first; column < first + count; ++column) {
    const Value value = row[column];
    cells_.push_back({bytes_.size(), static_cast<unsigned long>(value.view().size()), value.isNull()});
    bytes_.append(value.view());
  }
  return starts_.size() - 1;
}

Row StoredRows::row(std::size_t index, Buffer& buffer) noexcept {
  const Start start = starts_[index];
  buffer.values.resize(start.count);
  buffer.lengths.resize(start.count);
  for (unsigned column = 0; column < start.count; ++column) {
    const Cell& cell = cells_[start.cell + column];
    buffer.values[column] = cell.null ? nullptr : bytes_.data() + cell.offset;
    buffer.lengths[column] = cell.length;
  }
  return Row(buffer.values.data(), buffer.lengths.data(), start.count);
}

void StoredRows::clear() noexcept {
  std::string().swap(bytes_);
  std::vector<Cell>().swap(cells_);
  std::vector<Start>().swap(starts_);
}

std::size_t StoredRows::held() const noexcept {
  // An empty string keeps a few bytes inside itself.
  return bytes_.capacity() - std::string().capacity() + cells_.capacity() * sizeof(Cell) +
         starts_.capacity() * sizeof(Start);
}

bool isSetKey(std::string_view key) noexcept {
  if (key.size() > kLongestSetKey) return false;
  for (const char c : key) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

const ClientCollation* clientCollation(unsigned id) noexcept {
  for (const ClientCollation& collation : kClientCollations) {
    if (collation.id == id) return &collation;
  }
  return nullptr;
}

bool comparedKey(std::string_view key, bool foldsCase, std::string& compared) {
  const std::size_t end = key.find_last_not_of(' ');
  key = key.substr(0, end == std::string_view::npos ? 0 : end + 1);
  compared.assign(key);
  for (char& c : compared) {
    if (c < 0x20 || c > 0x7E) return false;
    if (foldsCase && c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
  }
  return true;
}

LoadResult LookupTable::load(DbSession& session, std::string statement, KeyMatching matching) noexcept {
  clear();
  loaded_ = true;
  matching_ = matching;
  Cursor cursor;
  if (dbExecute(session, cursor, std::move(statement)) != RC_OK || !cursor.resultSet) return LoadResult::kFailed;
  const LoadResult result = matching == KeyMatching::kClient ? loadClient(cursor) : loadServer(cursor);
  usable_ = result == LoadResult::kUsable;
  if (!usable_) {
    clear();
    loaded_ = true;  // not sent again for this tenant
  }
  return result;
}

LoadResult LookupTable::loadClient(Cursor& cursor) noexcept {
  const MYSQL_FIELD* key =
      mysql_num_fields(cursor.resultSet.get()) < 1 ? nullptr : mysql_fetch_field_direct(cursor.resultSet.get(), 0);
  const ClientCollation* collation =
      key != nullptr && isStringType(key->type) ? clientCollation(key->charsetnr) : nullptr;
  if (collation == nullptr) return LoadResult::kNotOnClient;
  foldsCase_ = collation->foldsCase;
  Row row;
  RC fetched = RC_OK;
  while ((fetched = dbFetch(cursor, row)) == RC_OK) {
    const Value stored = row[0];
    if (!stored) continue;  // a NULL key equals no key
    // A stored key outside printable ASCII never equals a printable-ASCII
    // key in a binary collation; in one that folds case it may (an accented
    // letter and its base letter), and only the server can tell.
    if (!comparedKey(stored.view(), foldsCase_, compared_)) {
      if (foldsCase_) return LoadResult::kNotOnClient;
      continue;
    }
    Entry& entry = entries_.try_emplace(compared_).first->second;
    if (++entry.candidates == 1) entry.row = rows_.add(row, 1, row.size() - 1);
  }
  return fetched == RC_NO_MORE_ROWS ? LoadResult::kUsable : LoadResult::kFailed;
}

LoadResult LookupTable::loadServer(Cursor& cursor) noexcept {
  if (!keysCompareAsPerRow(cursor.resultSet.get())) return LoadResult::kFailed;
  Row row;
  RC fetched = RC_OK;
  while ((fetched = dbFetch(cursor, row)) == RC_OK) {
    const Value key = row[0];
    if (!key) continue;  // a NULL key is never looked up
    Entry& entry = entries_.try_emplace(std::string(key.view())).first->second;
    if (!row[1]) continue;  // the key is there, the server matched no row
    if (++entry.candidates == 1) entry.row = rows_.add(row, 2, row.size() - 2);
  }
  return fetched == RC_NO_MORE_ROWS ? LoadResult::kUsable : LoadResult::kFailed;
}

LookupAnswer LookupTable::find(std::string_view key, Row& row) noexcept {
  if (!usable_ || !isSetKey(key)) return LookupAnswer::kAskServer;
  const bool onClient = matching_ == KeyMatching::kClient;
  if (onClient) {
    if (!comparedKey(key, foldsCase_, compared_)) return LookupAnswer::kAskServer;
    key = compared_;
  }
  const auto found = entries_.find(key);
  // Matched on the client, a key that no stored key equals has no row. A
  // key the server's join did not list (another spelling of a key it
  // merged, or a row it did not see) is asked, never taken for "no row".
  if (found == entries_.end()) return onClient ? LookupAnswer::kNoRow : LookupAnswer::kAskServer;
  const Entry& entry = found->second;
  if (entry.candidates == 0) return LookupAnswer::kNoRow;
  // Several candidates: only the per-row statement knows which one the
  // server delivers first.
  if (entry.candidates > 1) return LookupAnswer::kAskServer;
  row = rows_.row(entry.row, buffer_);
  return LookupAnswer::kRow;
}

void LookupTable::clear() noexcept {
  loaded_ = false;
  usable_ = false;
  decltype(entries_)().swap(entries_);
  rows_.clear();
}

namespace {

// The bytes of a hash table's bucket array; one bucket is kept inside the
// table itself.
template <typename Table>
std::size_t bucketBytes(const Table& table) noexcept {
  return table.bucket_count() > 1 ? table.bucket_count() * sizeof(void*) : 0;
}

}  // namespace

std::size_t LookupTable::held() const noexcept {
  return bucketBytes(entries_) + entries_.size() * sizeof(Entry) + rows_.held();
}

RC RememberedStatements::Replay::fetch(Row& row) noexcept {
  if (owner_ == nullptr) return RC_FAILED;
  if (next_ >= range_.end) return range_.last;
  row = owner_->rows_.row(next_++, buffer_);
  return RC_OK;
}

void RememberedStatements::Replay::set(RememberedStatements* owner, const Range& range) noexcept {
  owner_ = owner;
  range_ = range;
  next_ = range.first;
}

RC RememberedStatements::open(DbSession& session, Statement statement, Replay& replay) noexcept {
  replay.owner_ = nullptr;
  auto found = statement ? ranges_.find(*statement) : ranges_.end();
  if (found == ranges_.end()) {
    Cursor cursor;
    if (const RC executed = dbExecute(session, cursor, std::move(statement)); executed != RC_OK) return executed;
    const std::size_t first = rows_.size();
    Row row;
    RC fetched = RC_OK;
    while ((fetched = dbFetch(cursor, row)) == RC_OK) rows_.add(row, 0, row.size());
    const Range range{first, rows_.size(), fetched};
    // Rows that ended in a fetch failure are replayed once, with the
    // failure after them, and not remembered.
    if (fetched != RC_NO_MORE_ROWS) {
      replay.set(this, range);
      return RC_OK;
    }
    found = ranges_.emplace(std::move(cursor.statement), range).first;
  }
  replay.set(this, found->second);
  return RC_OK;
}

void RememberedStatements::keep(Cursor& cursor) noexcept {
  if (holds(cursor.statement)) return;
  const std::size_t first = rows_.size();
  Row row;
  RC fetched = RC_OK;
  while ((fetched = dbFetch(cursor, row)) == RC_OK) rows_.add(row, 0, row.size());
  if (fetched == RC_NO_MORE_ROWS) ranges_.emplace(cursor.statement, Range{first, rows_.size(), fetched});
}

void RememberedStatements::clear() noexcept {
  decltype(ranges_)().swap(ranges_);
  rows_.clear();
}

std::size_t RememberedStatements::held() const noexcept {
  return bucketBytes(ranges_) + ranges_.size() * sizeof(Range) + rows_.held();
}

}  // namespace sstrxv
