#include "core/records/Menu.h"

#include <tuple>

#include "platform/foundation/Calendar.h"
#include "platform/store/ManagedObject.h"

namespace tavlo {

namespace {

using TimeOfDay = std::tuple<int32_t, int32_t, int32_t>; // hour, minute, second

TimeOfDay timeOfDay(const Calendar& calendar, Date date) {
    auto c = calendar.components(date);
    return {c.hour, c.minute, c.second};
}

// A bound the schedule does not carry does not limit it.
bool covers(const ManagedObject& schedule, const Calendar& calendar, Date today, int32_t weekday, TimeOfDay now) {
    auto days = schedule.text("daysOfWeek");
    if (!days || days->size() < static_cast<size_t>(weekday) || (*days)[weekday - 1] != '1') return false;
    if (auto start = schedule.date("startDate"); start && *start > today) return false;
    if (auto end = schedule.date("endDate"); end && *end < today) return false;
    if (auto from = schedule.date("startDailyTime"); from && now < timeOfDay(calendar, *from)) return false;
    if (auto to = schedule.date("endDailyTime"); to && now > timeOfDay(calendar, *to)) return false;
    return true;
}

} // namespace

bool Menu::isActive(const ManagedObject& menuRow) {
    if (menuRow.boolean("disabled")) return false;
    auto schedules = menuRow.toMany("schedules");
    if (schedules.empty()) return true;

    Calendar calendar;
    Date now = Date::now();
    Date today = calendar.startOfDay(now);
    int32_t weekday = calendar.weekday(now);
    TimeOfDay time = timeOfDay(calendar, now);
    for (const auto& schedule : schedules) {
        if (covers(*schedule, calendar, today, weekday, time)) return true;
    }
    return false;
}

} // namespace tavlo
