// The text of one stored column value, as the record list shows it.
//
// DecodeValue turns the bytes of one value (cut out of a record's fixed or
// variable part, or read whole from large-object storage by the caller) into
// UTF-8 text. The per-type formatters below are shared with DecodeVariant.
// Nothing here throws: a value that cannot be decoded gives the empty text.
// Every read is bounded by the span given, whatever the lengths in TypeInfo
// or in the bytes say.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "common/hex_text.h"
#include "common/status.h"
#include "schema/column_descriptor.h"
#include "schema/type_info.h"
#include "values/value_decode_options.h"

namespace quill {

// The text of the value in `data` for `column`, decoded as `info.code`.
// Reads the descriptor's type text, precision, scale and collation id, and
// the collation table, collationFound, ansiCodePage and tableDisplayActive
// of `options`. Updates info.declaredSize (taken from
// the type text when 0; the consumed byte count for bit columns),
// info.available (set to valueLength for variable-length types; an
// `available` of 0 or less means "the whole span") and, for bit columns,
// info.storedSize and the bit state. Empty `data` gives the empty text and
// changes nothing. When fewer bytes are stored than the type reads (or its
// length is unknown) the text is empty and `failure`, when given, says so:
// "value cut short: 8 bytes needed, 3 stored".
std::string DecodeValue(TypeInfo& info, const ColumnDescriptor& column,
                        std::span<const uint8_t> data, const ValueDecodeOptions& options,
                        Status* failure = nullptr);

// Whether `data` holds the bytes DecodeValue reads for a value of type
// `info` (as it stands before DecodeValue is called): true when it does, or
// when the type reads what there is; false otherwise, with the failure
// DecodeValue would report put in `failure` when given. Formats nothing,
// and touches `failure` only when the bytes are not there.
bool CheckValueBytes(TypeInfo info, const ColumnDescriptor& column, std::span<const uint8_t> data,
                     Status* failure = nullptr);

// ---- Formatters. Each takes exactly the bytes of the value (or the number
// ---- already read) and gives the empty text when they do not fit.

// money: signed 64-bit amount x 10000, four decimals. 12345 -> "1.2345".
std::string MoneyText(int64_t amount);
// smallmoney: signed 32-bit amount x 10000, four decimals. -123 -> "-0.0123".
std::string SmallMoneyText(int32_t amount);
// float: "%.*f" with 15 - ceiling(log10(|v|)) decimals, trailing zeros cut.
// Non-finite values give "0" when zero_for_non_finite is set, else
// "inf", "-inf" or "nan".
std::string FloatText(double value, bool zero_for_non_finite);
// real: the value widened to double with six significant digits ("%g"
// style). Non-finite values as for FloatText.
std::string RealText(float value, bool zero_for_non_finite);
// decimal/numeric: sign byte then a 4/8/12/16-byte unsigned integer chosen
// by the precision.
std::string DecimalText(std::span<const uint8_t> bytes, int32_t precision, int32_t scale);
// uniqueidentifier: 16 bytes.
std::string GuidText(std::span<const uint8_t> bytes);

// Dates and times (date_time_text.cc).
std::string DatetimeText(std::span<const uint8_t> bytes);       // 8 bytes
std::string SmallDatetimeText(std::span<const uint8_t> bytes);  // 4 bytes
std::string DateText(std::span<const uint8_t> bytes);           // 3 bytes
std::string TimeText(std::span<const uint8_t> bytes, int32_t scale);
std::string Datetime2Text(std::span<const uint8_t> bytes, int32_t scale);
std::string DatetimeOffsetText(std::span<const uint8_t> bytes, int32_t scale);

// Text conversions (character_text.cc).
// UTF-16LE up to the first zero character; lone surrogates become U+FFFD.
std::string Utf16TextToFirstZero(std::span<const uint8_t> bytes);
// 8-bit text in `code_page` up to the first zero byte.
std::string CodePageTextToFirstZero(std::span<const uint8_t> bytes, int32_t code_page);
// The code page of 8-bit text of a column whose collation is
// `collation_id`: the collation's code page from the collation table; the
// ANSI code page for no collation (0 or -1) or an id the table lacks.
int32_t CharacterCodePage(int32_t collation_id, const ValueDecodeOptions& options);
// char (3), varchar (17) and text (26) by the collation rules.
std::string CharacterText(std::span<const uint8_t> bytes, int32_t code, int32_t collation_id,
                          const ValueDecodeOptions& options);
// A value whose type is not known to be Unicode: UTF-16 when exactly half of
// its bytes (integer half of the length) are zero, else ANSI text.
std::string GuessedUnicodeText(std::span<const uint8_t> bytes, const ValueDecodeOptions& options);

}  // namespace quill
