#include <velt/comport/framework/Component.h>

#include <algorithm>

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner)
{
    if (FOwner != nullptr)
        FOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Tell those who refer to this component first, while it is still whole.
    std::vector<Listener> listeners;
    listeners.swap(FListeners);
    for (auto& l : listeners)
        l.Callback(this);
    // Owned components go with their owner, the last created first.
    while (!FOwned.empty()) {
        TComponent* child = FOwned.back();
        FOwned.pop_back();
        child->FOwner = nullptr;
        delete child;
    }
    if (FOwner != nullptr)
        FOwner->RemoveComponent(this);
}

void TComponent::EndLoading()
{
    FLoading = false;
    Loaded();
}

void TComponent::FreeNotification(const void* Key, std::function<void(TComponent*)> Callback)
{
    RemoveFreeNotification(Key);
    FListeners.push_back({Key, std::move(Callback)});
}

void TComponent::RemoveFreeNotification(const void* Key)
{
    std::erase_if(FListeners, [Key](const Listener& l) { return l.Key == Key; });
}

void TComponent::InsertComponent(TComponent* Child) { FOwned.push_back(Child); }

void TComponent::RemoveComponent(TComponent* Child) { std::erase(FOwned, Child); }
