// Which of the eight telephone and three e-mail fields of a contact receives
// the value of a TEL or EMAIL line, by the type keywords of the line and by
// which fields are still free. A field, once it holds a value (even an empty
// one), is never overwritten; a value with no free field left is dropped.
#pragma once

#include <optional>
#include <string_view>

#include "vcard/contact.h"

namespace velmora {

// `typeText`: the line's property name and parameters, where the type
// keywords are looked for (TEL;WORK;FAX or TEL;TYPE=WORK,FAX). Nothing when
// every field the line may use is taken.
std::optional<Field> telephoneField(const ContactRecord& record, std::string_view typeText);
std::optional<Field> emailField(const ContactRecord& record, std::string_view typeText);

}  // namespace velmora
