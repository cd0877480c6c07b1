// gracePeriodMs: how long a test waits before it concludes that something did not happen: no
// request went out, no reply arrived, nothing changed. Whatever must happen is waited for with
// QTRY_* or QSignalSpy::wait instead, which end as soon as it has.
#pragma once

inline constexpr int gracePeriodMs = 400;
