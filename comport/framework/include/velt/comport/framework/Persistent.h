#pragma once
/// @file
/// Base of the small settings objects: an object that can copy all its fields
/// from another object of the same class.
#include <velt/comport/Export.h>
#include <string>

/// An object that copies all its fields from another of its class (Assign()).
class VELT_COMPORT_EXPORT TPersistent {
public:
    virtual ~TPersistent() = default;
    virtual std::string ClassName() const = 0; ///< The class's name, which Assign() compares.

    /// Copies every field from Source. A source of another class, or none, is
    /// refused with EConvertError and the target stays unchanged.
    void Assign(const TPersistent* Source);

protected:
    /// Copies the fields when Source is of this class; returns false otherwise.
    virtual bool AssignFrom(const TPersistent& Source) = 0;
};
