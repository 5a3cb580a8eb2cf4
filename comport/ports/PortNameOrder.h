#pragma once
// The one order of port names: by text without regard to letter case, so
// that "COM10" comes before "COM2" and "ttyusb1" beside "ttyUSB0". Sorts are
// stable, so names differing only in letter case keep the system's order.
#include <algorithm>
#include <string>
#include <vector>

#include <velt/comport/ComTypes.h>

template <typename Item, typename NameOf>
void SortByPortName(std::vector<Item>& Items, NameOf Name)
{
    std::stable_sort(Items.begin(), Items.end(), [&Name](const Item& A, const Item& B) {
        return UpperCaseAscii(Name(A)) < UpperCaseAscii(Name(B));
    });
}
