// Binding statement parameters to the caller's buffers: with described or named types, as
// arrays, and long data from memory streams.

#include "odbc/OCLStatement.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace ocl {

namespace {

struct TBufferRule {
  SQLLEN BufferLength;
  SQLLEN FirstIndicator;
};

// Buffer length and first indicator entry by the parameter's SQL type. Only values bound from
// a memory stream are long data. Any other text or binary value goes by its C type, whatever
// the SQL type: a text bound to a number, a date or a described long type would otherwise be
// sent empty.
TBufferRule BufferRule(SQLSMALLINT CType, SQLSMALLINT SqlType, bool FromStream, bool ByParts) {
  if (IsLongType(SqlType) && FromStream)
    return {std::numeric_limits<std::int32_t>::max(), ByParts ? SQL_LEN_DATA_AT_EXEC(0) : 0};
  if (CType == SQL_C_CHAR) return {256, SQL_NTS};
  if (CType == SQL_C_BINARY) return {256, 0};
  switch (SqlType) {
    case SQL_CHAR:
    case SQL_VARCHAR: return {256, SQL_NTS};
    case SQL_BINARY:
    case SQL_VARBINARY: return {256, 0};
    default: return {0, IsLongType(SqlType) ? CTypeSize(CType) : 0};
  }
}

}  // namespace

TParamRec* THstmt::FindParam(SQLUSMALLINT ParamNo) {
  for (TParamRec& rec : params_)
    if (rec.ParamNo == ParamNo) return &rec;
  return nullptr;
}

const TParamRec* THstmt::FindParamByValue(SQLPOINTER Value) const {
  for (const TParamRec& rec : params_)
    if (rec.Value == Value) return &rec;
  return nullptr;
}

// The direction set for this bind. The next bind is an input again, whatever the outcome of
// this one.
SQLSMALLINT THstmt::TakeDirection() { return std::exchange(paramDirection_, SQL_PARAM_INPUT); }

void THstmt::BindParameter(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value,
                           SQLSMALLINT SqlType, SQLULEN ColumnSize, SQLSMALLINT Digits,
                           SQLLEN ArraySize) {
  Bind(ParamNo, CType, Value, SqlType, ColumnSize, Digits, ArraySize, TSource::Value,
       TakeDirection());
}

// A record with ArraySize indicator entries (1 for a single value) replaces the one bound
// before, once the driver has the new binding: until then it reads the old entries. The driver
// reads indicators only when it executes, so a record of as many entries hands its entries on
// to the new one, to be filled then: rebinding an array to other values allocates nothing.
void THstmt::Bind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, SQLSMALLINT SqlType,
                  SQLULEN ColumnSize, SQLSMALLINT Digits, SQLLEN ArraySize, TSource Source,
                  SQLSMALLINT Direction) {
  RequireIdle();
  if (IsLongType(SqlType) && ArraySize != 0) throw rtl::Exception("Cannot insert bulk blobs.");
  bool fromStream = Source == TSource::Stream;
  bool byParts = fromStream && IsLongType(SqlType) && BlobsByParts();
  TBufferRule rule = BufferRule(CType, SqlType, fromStream, byParts);
  TParamRec rec;
  rec.ParamNo = ParamNo;
  rec.CType = CType;
  rec.SqlType = SqlType;
  rec.Value = Value;
  rec.Count = ArraySize > 0 ? ArraySize : 1;
  TParamRec* before = FindParam(ParamNo);
  const bool handOn = before && before->Count == rec.Count;
  if (!handOn) rec.Ind = std::make_unique<SQLLEN[]>(static_cast<std::size_t>(rec.Count));
  SQLLEN* ind = handOn ? before->Ind.get() : rec.Ind.get();
  SQLRETURN ret = SQLBindParameter(CurrentHandle(), ParamNo, Direction, CType, SqlType, ColumnSize,
                                   Digits, Value, rule.BufferLength, ind);
  // Bound also where a warning counts as failure.
  if (SQL_SUCCEEDED(ret)) {
    if (handOn) rec.Ind = std::move(before->Ind);
    std::fill(ind, ind + rec.Count, Value ? rule.FirstIndicator : SQL_NULL_DATA);
    KeepParam(std::move(rec));
  }
  Check(ret);
}

// Every execution reads ParamSetSize elements of each parameter: the most any binding has.
void THstmt::KeepParam(TParamRec Rec) {
  if (TParamRec* bound = FindParam(Rec.ParamNo))
    *bound = std::move(Rec);
  else
    params_.push_back(std::move(Rec));
  paramSetSize_ = 0;
  for (const TParamRec& rec : params_)
    paramSetSize_ = std::max(paramSetSize_, static_cast<SQLULEN>(rec.Count));
}

void THstmt::BindParam(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value) {
  DescribedBind(ParamNo, CType, Value, TSource::Value, TakeDirection());
}

void THstmt::DescribedBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value,
                           TSource Source, SQLSMALLINT Direction) {
  RequireIdle();
  if (!Allocated()) AllocHandle();
  SQLSMALLINT type = 0, digits = 0, nullable = 0;
  SQLULEN size = 0;
  Check(SQLDescribeParam(CurrentHandle(), ParamNo, &type, &size, &digits, &nullable));
  Bind(ParamNo, CType, Value, type, size, digits, 0, Source, Direction);
}

void THstmt::BindParamTyped(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value,
                            SQLSMALLINT SqlType) {
  TypedBind(ParamNo, CType, Value, ParamColumnSize(SqlType), SqlType, TSource::Value,
            TakeDirection());
}

void THstmt::BindParamTyped(SQLUSMALLINT ParamNo, SQLSMALLINT CType, rtl::TMemoryStream* Stream,
                            SQLSMALLINT SqlType) {
  StreamBind(ParamNo, CType, Stream, SqlType, TakeDirection());
}

void THstmt::StreamBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, rtl::TMemoryStream* Stream,
                        SQLSMALLINT SqlType, SQLSMALLINT Direction) {
  if (!IsLongType(SqlType)) {
    TypedBind(ParamNo, CType, Stream ? Stream->Memory() : nullptr, ParamColumnSize(SqlType),
              SqlType, TSource::Value, Direction);
    return;
  }
  TypedBind(ParamNo, CType, Stream ? Stream->Memory() : nullptr, Stream ? Stream->Size() : 0,
            SqlType, TSource::Stream, Direction);
  // Without its length the driver would read none of the value.
  if (Stream) SetParamLength(ParamNo, static_cast<SQLLEN>(Stream->Size()));
}

void THstmt::TypedBind(SQLUSMALLINT ParamNo, SQLSMALLINT CType, SQLPOINTER Value, SQLULEN Size,
                       SQLSMALLINT SqlType, TSource Source, SQLSMALLINT Direction) {
  if (!Allocated()) AllocHandle();
  Bind(ParamNo, CType, Value, SqlType, Size, ParamDigits(SqlType), 0, Source, Direction);
}

void THstmt::BindBlobParam(SQLUSMALLINT ParamNo, rtl::TMemoryStream* Stream, bool Binary) {
  SQLSMALLINT direction = TakeDirection();
  if (!Allocated()) AllocHandle();
  rtl::TMemoryStream none;
  if (!Stream) Stream = &none;
  if (UseExplicitTypes())
    StreamBind(ParamNo, Binary ? SQL_C_BINARY : SQL_C_CHAR, Stream,
               Binary ? SQL_LONGVARBINARY : SQL_LONGVARCHAR, direction);
  else
    DescribedBind(ParamNo, Binary ? SQL_C_BINARY : SQL_C_CHAR, Stream->Memory(), TSource::Stream,
                  direction);
  if (Stream->Size() == 0) {
    if (TParamRec* rec = FindParam(ParamNo)) rec->Ind[0] = SQL_NULL_DATA;
    return;
  }
  SetParamLength(ParamNo, static_cast<SQLLEN>(Stream->Size()));
}

void THstmt::SetParamLength(SQLUSMALLINT ParamNo, SQLLEN Size) {
  TParamRec* rec = FindParam(ParamNo);
  if (!rec) return;
  rec->Ind[0] = rec->Ind[0] <= SQL_LEN_DATA_AT_EXEC_OFFSET ? SQL_LEN_DATA_AT_EXEC(Size) : Size;
}

SQLLEN* THstmt::ParamIndicators(SQLUSMALLINT ParamNo) {
  TParamRec* rec = FindParam(ParamNo);
  return rec ? rec->Ind.get() : nullptr;
}

bool THstmt::UseExplicitTypes() { return !prepared_ || (hDbc() && hDbc()->NoDescribeParam()); }

bool THstmt::BlobsByParts() {
  if (blobPlacement_ != bpDetect) return blobPlacement_ == bpByParts;
  THdbc* db = hDbc();
  if (!db) return false;
  std::string answer = db->GetInfoString(SQL_NEED_LONG_DATA_LEN);
  return !answer.empty() && answer[0] == 'Y';
}

// Parameters by marker name.

std::vector<SQLUSMALLINT> THstmt::ParamNumbers(std::string_view ParamName) {
  // A statement executed directly has its markers read only at execution.
  if (paramNames_.empty() && !sql_.empty()) TranslateSQL();
  std::vector<SQLUSMALLINT> numbers;
  for (std::size_t i = 0; i < paramNames_.size(); ++i)
    if (rtl::SameText(paramNames_[i], ParamName))
      numbers.push_back(static_cast<SQLUSMALLINT>(i + 1));
  if (numbers.empty())
    throw rtl::Exception("Parameter :" + std::string(ParamName) + " not found in the SQL of " +
                         Name() + ".");
  return numbers;
}

// Binds every marker of the name, each with the direction set for this bind.
template <class Bind1>
void THstmt::ForEachNumber(std::string_view ParamName, Bind1 bind) {
  SQLSMALLINT direction = TakeDirection();
  for (SQLUSMALLINT number : ParamNumbers(ParamName)) {
    paramDirection_ = direction;
    bind(number);
  }
}

void THstmt::BindParameter(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value,
                           SQLSMALLINT SqlType, SQLULEN ColumnSize, SQLSMALLINT Digits,
                           SQLLEN ArraySize) {
  ForEachNumber(ParamName, [&](SQLUSMALLINT n) {
    BindParameter(n, CType, Value, SqlType, ColumnSize, Digits, ArraySize);
  });
}

void THstmt::BindParam(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value) {
  ForEachNumber(ParamName, [&](SQLUSMALLINT n) { BindParam(n, CType, Value); });
}

void THstmt::BindParamTyped(std::string_view ParamName, SQLSMALLINT CType, SQLPOINTER Value,
                            SQLSMALLINT SqlType) {
  ForEachNumber(ParamName, [&](SQLUSMALLINT n) { BindParamTyped(n, CType, Value, SqlType); });
}

void THstmt::BindParamTyped(std::string_view ParamName, SQLSMALLINT CType,
                            rtl::TMemoryStream* Stream, SQLSMALLINT SqlType) {
  ForEachNumber(ParamName, [&](SQLUSMALLINT n) { BindParamTyped(n, CType, Stream, SqlType); });
}

void THstmt::BindBlobParam(std::string_view ParamName, rtl::TMemoryStream* Stream, bool Binary) {
  ForEachNumber(ParamName, [&](SQLUSMALLINT n) { BindBlobParam(n, Stream, Binary); });
}

}  // namespace ocl
