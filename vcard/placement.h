// Which of the eight telephone and three e-mail fields of a contact receives
// the value of a TEL or EMAIL line, by the type keywords of the line and by
// which fields are still free. A field, once it holds a value (even an empty
// one), is never overwritten; a value with no free field left is dropped.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// `typeText`: the line's property name and parameters, where the type
// keywords are looked for (TEL;WORK;FAX or TEL;TYPE=WORK,FAX). Nothing when
// every field the line may use is taken.
std::optional<Field> telephoneField(const ContactRecord& record, std::string_view typeText);
std::optional<Field> emailField(const ContactRecord& record, std::string_view typeText);

// The full layout's placement, in all eleven telephone columns and the three
// e-mail columns in file order. `parameters`: the line's parameters alone, so
// that a group prefix or a property name never reads as a type ("card1.TEL"
// is no CAR). A fax only ever goes to a fax column.
std::optional<Field> fullTelephoneField(const ContactRecord& record, std::string_view parameters);
std::optional<Field> fullEmailField(const ContactRecord& record);

// The kind of address an ADR line names in its parameters: business when
// WORK is named and HOME is not, home otherwise.
enum class AddressKind : std::uint8_t { business, home, other };
AddressKind addressKind(std::string_view parameters);

}  // namespace velmora
