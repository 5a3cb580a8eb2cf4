#include <velt/comport/framework/Persistent.h>

#include <velt/comport/framework/Exception.h>

void TPersistent::Assign(const TPersistent* Source)
{
    if (Source != nullptr && AssignFrom(*Source))
        return;
    const std::string from = Source != nullptr ? Source->ClassName() : "nil";
    throw EConvertError("Cannot assign a " + from + " to a " + ClassName());
}
