#pragma once
#include "CommonControl.h"
#include "LinkTiming.h"
#include "ReadBack.h"

// The usual rule: five reads 10 ms apart, a failed read also asking for the mismatch line.
constexpr ConfirmRule kReadBackRule{linktiming::kReadBackReads, linktiming::kReadBackPause, true};

// How a command set sends its settings and confirms them, the same for the kit's and both
// plug-ins' command sets: a set goes out as one CMDTYPE_SET command carrying its whole buffer,
// through the owner's command function (which writes the owner's failure lines; `Extra` are its
// further arguments), and is read back as SetAndConfirm does. The owner writes each operation's
// mismatch line itself when the Confirmation asks for it, so that the line keeps its own name.
template <typename Owner, typename... Extra>
class ConfirmedSets {
public:
    using Command = int (Owner::*)(int cmd, void* buf, int bufSize, int len, CMDTYPE type, Extra...);

    // `owner` and `sleep` are borrowed: the owner holds both.
    ConfirmedSets(Owner& owner, Command command, const ConfirmRule& rule, const linktiming::SleepFunction& sleep)
        : m_owner(owner), m_command(command), m_rule(rule), m_sleep(sleep) {}
    ConfirmedSets(const ConfirmedSets&) = delete;
    ConfirmedSets& operator=(const ConfirmedSets&) = delete;

    // Sends the `size` bytes of `buf` as setting `cmd` and reads it back with `query` until
    // `same` holds.
    template <typename Query, typename Same>
    Confirmation Set(int cmd, void* buf, int size, Extra... extra, Query&& query, Same&& same) const {
        return SetUnder(m_rule, cmd, buf, size, extra..., query, same);
    }

    // The same under another rule.
    template <typename Query, typename Same>
    Confirmation SetUnder(const ConfirmRule& rule, int cmd, void* buf, int size, Extra... extra, Query&& query,
                          Same&& same) const {
        return SetAndConfirm(
            rule, m_sleep, [&] { return (m_owner.*m_command)(cmd, buf, size, size, CMDTYPE_SET, extra...); }, query,
            same);
    }

    // A setting that goes out another way (in several commands, say), confirmed by the rule.
    template <typename Send, typename Query, typename Same>
    Confirmation Confirm(Send&& send, Query&& query, Same&& same) const {
        return SetAndConfirm(m_rule, m_sleep, send, query, same);
    }

private:
    Owner& m_owner;
    const Command m_command;
    const ConfirmRule m_rule;
    const linktiming::SleepFunction& m_sleep;
};
