// A HidController over the platform backend with its events recorded, for tests that
// play the part of the window's handlers.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "hid_controller.h"
#include "stick_identity.h"

struct ControllerProbe {
  struct Offered {
    vorlane::HidDevice* device;
    int index;
  };

  // "change" and "unplug", in the order the controller raised them.
  QStringList events;
  std::vector<vorlane::HidDevice*> unplugged;
  // Called for an unplugged device after it was recorded.
  std::function<void(vorlane::HidDevice*&)> onUnplug;
  // Called after a change was recorded.
  std::function<void()> onChange;
  // Last, so that it goes first: its destruction reports the held devices unplugged.
  vorlane::HidController ctl{vorlane::CreatePlatformHidBackend()};

  ControllerProbe() {
    ctl.OnDeviceChange = [this] {
      events << QStringLiteral("change");
      if (onChange) onChange();
    };
    ctl.OnDeviceUnplug = [this](vorlane::HidDevice* device) {
      events << QStringLiteral("unplug");
      unplugged.push_back(device);
      if (onUnplug) onUnplug(device);
    };
  }

  // One enumeration pass: every present device in list order.
  std::vector<Offered> enumerate() {
    std::vector<Offered> offered;
    ctl.OnEnumerate = [&offered](vorlane::HidDevice* device, int index) {
      offered.push_back({device, index});
      return true;
    };
    ctl.Enumerate();
    ctl.OnEnumerate = nullptr;
    return offered;
  }

  // Checks out the stick of this product name, as the window does with a stick it
  // finds; sticks of other names are given back. Null when none is free.
  vorlane::HidDevice* takeStick(const QString& name) {
    for (const Offered& o : enumerate()) {
      if (!vorlane::IsStick(o.device->ClassGuidText(), o.device->Attributes(),
                            vorlane::kStickVendorId, vorlane::kStickProductCode)) {
        continue;
      }
      vorlane::HidDevice* device = nullptr;
      if (!ctl.CheckOutByIndex(device, o.index)) continue;
      if (device->GetProductName() == name.toStdU16String()) return device;
      ctl.CheckIn(device);
    }
    return nullptr;
  }
};
