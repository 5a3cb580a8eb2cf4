#pragma once
/// @file
/// The framework's component: a named object with an owner, which it may be
/// destroyed with, and the states "loading" (its stored properties are being
/// read) and "designing" (it sits in a visual designer).
#include <velt/comport/Export.h>
#include <functional>
#include <string>
#include <vector>

class VELT_COMPORT_EXPORT TComponent {
public:
    explicit TComponent(TComponent* AOwner);
    virtual ~TComponent();
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return FOwner; }
    const std::string& Name() const { return FName; }
    void SetName(std::string AName) { FName = std::move(AName); }

    bool IsLoading() const { return FLoading; }
    bool IsDesigning() const { return FDesigning; }
    void SetDesigning(bool Value) { FDesigning = Value; }

    /// Bracket the reading of stored properties: EndLoading clears the loading
    /// state and then runs the after-load step.
    void BeginLoading() { FLoading = true; }
    void EndLoading();

    /// Registers a callback run when this component is being destroyed, so that
    /// whoever refers to it can let go. Key identifies the registration.
    void FreeNotification(const void* Key, std::function<void(TComponent*)> Callback);
    void RemoveFreeNotification(const void* Key);

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
