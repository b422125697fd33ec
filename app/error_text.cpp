#include "app/error_text.h"

#include "app/ui_text.h"

namespace zk::app {

QString unavailableReason(const core::EntryUnavailable& refused) {
    using Entry = core::EntryUnavailable::Entry;
    using Why = core::EntryUnavailable::Why;
    const Entry entry = refused.entry();
    switch (refused.why()) {
        case Why::Taken:
            return UiText::tr("another program opening this Project has taken over the Recording's samples");
        case Why::Gone:
            return entry == Entry::Measurement
                       ? UiText::tr("the Measurement no longer exists - another program deleted it")
                       : UiText::tr("the Project no longer exists - another program deleted it");
        case Why::Held:
            break;
    }
    switch (entry) {
        case Entry::Project:
            // Past a wait the program that holds the lock may have stopped: trying again soon is no cure.
            if (refused.waited().count() > 0)
                return UiText::tr("another program has held the lock of this Project for more than %1 s")
                    .arg(static_cast<double>(refused.waited().count()) / 1000.0);
            return UiText::tr("another program is changing the Project - try again");
        case Entry::Measurement:
            return UiText::tr("another program is using or changing the Measurement - try again");
        case Entry::NoiseFloor:
            return UiText::tr("another program is saving the noise floor - try again");
        case Entry::Recording:
            break;
    }
    return UiText::tr("another program is using the Recording");
}

QString textOf(const std::exception& error) {
    if (const auto* refused = dynamic_cast<const core::EntryUnavailable*>(&error))
        return unavailableReason(*refused);
    return QString::fromUtf8(error.what());
}

}  // namespace zk::app
