// SPDX-License-Identifier: MIT
// Setting a record's members from its groups: a text member takes a copy,
// numbers are stored as read, angles in radians.
#include "read/readers.h"

namespace vexlith {

bool SetText(char **member, const char *text) {
    char *copy = rt::Duplicate(text);
    if (!copy) return false;
    rt::Free(*member);
    *member = copy;
    return true;
}

bool ApplyGroup(std::span<const GroupMember> members, void *record, const Qdxf_Group &group) {
    for (const GroupMember &known : members) {
        if (known.code != group.code) continue;
        switch (known.held) {
            case Held::Text:
                return SetText(&MemberOf<char *>(record, known.member), group.value.text);
            case Held::Int:
                MemberOf<int>(record, known.member) = group.value.integer;
                return true;
            case Held::Real:
                MemberOf<double>(record, known.member) = group.value.real;
                return true;
            case Held::Angle:
                MemberOf<double>(record, known.member) = Radians(group.value.real);
                return true;
        }
    }
    return true;
}

bool TextMembersToUtf8(const Qdxf_ReadState &read, std::span<const GroupMember> members,
                       void *record) {
    if (!(read.flags & QDXF_READ_UTF8)) return true;
    for (const GroupMember &known : members) {
        if (known.held != Held::Text) continue;
        if (!translate::ToUtf8(read.encoding, &MemberOf<char *>(record, known.member)))
            return false;
    }
    return true;
}

}  // namespace vexlith
