// DiskService over UDisks2 on the system bus, as desktop disk utilities use it.
#include <QtDBus/QDBusArgument>
#include <QtDBus/QDBusConnection>
#include <QtDBus/QDBusMessage>
#include <QtDBus/QDBusMetaType>
#include <QtDBus/QDBusObjectPath>
#include <QtDBus/QDBusVariant>

#include "platform/disk_service.h"

namespace {

using InterfaceMap = QMap<QString, QVariantMap>;
using ObjectMap = QMap<QDBusObjectPath, InterfaceMap>;

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";
constexpr int kFormatTimeoutMs = 30 * 60 * 1000; // a full card takes a while

std::string WithSlash(std::string s) {
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

// A byte-string property ("ay", zero-terminated) as text.
std::string ByteString(const QVariant& v) {
  QByteArray bytes = v.toByteArray();
  if (v.canConvert<QDBusArgument>()) bytes = qdbus_cast<QByteArray>(v.value<QDBusArgument>());
  if (bytes.endsWith('\0')) bytes.chop(1);
  return bytes.toStdString();
}

std::vector<std::string> ByteStrings(const QVariant& v) {
  std::vector<std::string> out;
  if (!v.canConvert<QDBusArgument>()) return out;
  for (QByteArray bytes : qdbus_cast<QList<QByteArray>>(v.value<QDBusArgument>())) {
    if (bytes.endsWith('\0')) bytes.chop(1);
    out.push_back(bytes.toStdString());
  }
  return out;
}

class UDisksService : public platform::DiskService {
public:
  UDisksService() {
    qDBusRegisterMetaType<InterfaceMap>();
    qDBusRegisterMetaType<ObjectMap>();
  }

  bool Available(std::string* why) override {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) return Fail(why, "the system's message bus cannot be reached");
    QDBusMessage call = QDBusMessage::createMethodCall(kService, "/org/freedesktop/UDisks2/Manager",
                                                       "org.freedesktop.DBus.Properties", "Get");
    call << QString("org.freedesktop.UDisks2.Manager") << QString("Version");
    QDBusMessage reply = bus.call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage)
      return Fail(why, "the disk service UDisks2 is not available (" + reply.errorMessage().toStdString() + ")");
    return true;
  }

  std::optional<platform::BlockDevice> FindByMountPoint(const std::string& mountPoint, std::string* why) override {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, "/org/freedesktop/UDisks2",
                                                       "org.freedesktop.DBus.ObjectManager", "GetManagedObjects");
    QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 10000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
      Fail(why, reply.errorMessage().toStdString());
      return std::nullopt;
    }
    const ObjectMap objects = qdbus_cast<ObjectMap>(reply.arguments().at(0).value<QDBusArgument>());
    const std::string wanted = WithSlash(mountPoint);
    for (auto it = objects.begin(); it != objects.end(); ++it) {
      if (!it.value().contains(kFilesystem) || !it.value().contains(kBlock)) continue;
      platform::BlockDevice dev;
      for (const std::string& m : ByteStrings(it.value()[kFilesystem].value("MountPoints")))
        dev.mountPoints.push_back(WithSlash(m));
      if (std::find(dev.mountPoints.begin(), dev.mountPoints.end(), wanted) == dev.mountPoints.end()) continue;
      const QVariantMap& block = it.value()[kBlock];
      dev.object = it.key().path().toStdString();
      dev.device = ByteString(block.value("Device"));
      dev.label = block.value("IdLabel").toString().toStdString();
      dev.fsType = block.value("IdType").toString().toStdString();
      dev.size = block.value("Size").toULongLong();
      dev.system = block.value("HintSystem").toBool();
      const QDBusObjectPath drivePath = block.value("Drive").value<QDBusObjectPath>();
      if (auto d = objects.find(drivePath); d != objects.end() && d.value().contains(kDrive)) {
        const QVariantMap& drive = d.value()[kDrive];
        const QString bus = drive.value("ConnectionBus").toString();
        dev.removable = drive.value("Removable").toBool() || drive.value("MediaRemovable").toBool() ||
                        bus == "usb" || bus == "sdio";
      }
      return dev;
    }
    Fail(why, "no device is mounted at " + mountPoint);
    return std::nullopt;
  }

  bool Unmount(const platform::BlockDevice& device, std::string* why) override {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QString::fromStdString(device.object),
                                                       kFilesystem, "Unmount");
    call << QVariantMap{};
    return Check(QDBusConnection::systemBus().call(call, QDBus::Block, 60000), why);
  }

  bool Format(const platform::BlockDevice& device, const std::string& type, const std::string& label,
              std::string* why) override {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QString::fromStdString(device.object),
                                                       kBlock, "Format");
    QVariantMap options;
    options["label"] = QString::fromStdString(label);
    options["update-partition-type"] = true;
    call << QString::fromStdString(type) << options;
    return Check(QDBusConnection::systemBus().call(call, QDBus::Block, kFormatTimeoutMs), why);
  }

  std::optional<std::string> Mount(const platform::BlockDevice& device, std::string* why) override {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QString::fromStdString(device.object),
                                                       kFilesystem, "Mount");
    call << QVariantMap{};
    QDBusMessage reply = QDBusConnection::systemBus().call(call, QDBus::Block, 60000);
    if (!Check(reply, why) || reply.arguments().isEmpty()) return std::nullopt;
    return WithSlash(reply.arguments().at(0).toString().toStdString());
  }

private:
  static bool Fail(std::string* why, const std::string& reason) {
    if (why) *why = reason;
    return false;
  }
  static bool Check(const QDBusMessage& reply, std::string* why) {
    if (reply.type() == QDBusMessage::ReplyMessage) return true;
    return Fail(why, reply.errorMessage().toStdString());
  }
};

} // namespace

std::unique_ptr<platform::DiskService> platform::MakeUDisksService() { return std::make_unique<UDisksService>(); }
