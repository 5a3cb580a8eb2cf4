#include "MeterRequests.h"

#include <algorithm>

uint8_t MeasurementNumber(std::u16string_view FieldText)
{
    // Blanks around the number are the field's own; a sign is a number's.
    while (!FieldText.empty() && FieldText.front() == u' ')
        FieldText.remove_prefix(1);
    while (!FieldText.empty() && FieldText.back() == u' ')
        FieldText.remove_suffix(1);
    bool negative = false;
    if (!FieldText.empty() && (FieldText.front() == u'-' || FieldText.front() == u'+')) {
        negative = FieldText.front() == u'-';
        FieldText.remove_prefix(1);
    }
    if (FieldText.empty())
        return kFirstMeasurement;
    long number = 0;
    for (const char16_t c : FieldText) {
        if (c < u'0' || c > u'9')
            return kFirstMeasurement;
        number = std::min(number * 10 + (c - u'0'), 1000L); // anything past the range is as good as 1000
    }
    return static_cast<uint8_t>(std::clamp<long>(negative ? -number : number, kFirstMeasurement, kLastMeasurement));
}
