#pragma once
/// @file
/// The framework's component: a named object with an owner, which it may be
/// destroyed with, and the states "loading" (its stored properties are being
/// read) and "designing" (it sits in a visual designer).
#include <velt/comport/Export.h>
#include <functional>
#include <string>
#include <vector>

/// A named object with an owner, which destroys it with itself, and the
/// states "loading" and "designing". The base of the port.
class VELT_COMPORT_EXPORT TComponent {
public:
    explicit TComponent(TComponent* AOwner); ///< Owned by AOwner (null: by nobody).
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; } ///< The owner, or null.
    const std::string& Name() const
    {
        return FName;
    } ///< The name ("" by default); a port stores its settings under it.
    void SetName(std::string AName) { FName = std::move(AName); } ///< Sets Name().

    bool IsLoading() const { return FLoading; }           ///< Whether stored properties are being read.
    bool IsDesigning() const { return FDesigning; }       ///< Whether the component sits in a visual designer.
    void SetDesigning(bool Value) { FDesigning = Value; } ///< Sets IsDesigning().

    /// Bracket the reading of stored properties: EndLoading clears the loading
    /// state and then runs the after-load step.
    void BeginLoading() { FLoading = true; }
    void EndLoading(); ///< @copydoc BeginLoading()

    /// Registers a callback run when this component is being destroyed, so that
    /// whoever refers to it can let go. Key identifies the registration.
    void FreeNotification(const void* Key, std::function<void(TComponent*)> Callback);
    void RemoveFreeNotification(const void* Key); ///< Removes the registration Key.

protected:
    /// The after-load step, run once the stored properties have been read.
    virtual void Loaded() {}

private:
    struct Listener {
        const void* Key;
        std::function<void(TComponent*)> Callback;
    };
    void InsertComponent(TComponent* Child);
    void RemoveComponent(TComponent* Child);

    TComponent* FOwner;
    std::string FName;
    bool FLoading = false;
    bool FDesigning = false;
    std::vector<TComponent*> FOwned;
    std::vector<Listener> FListeners;
};
