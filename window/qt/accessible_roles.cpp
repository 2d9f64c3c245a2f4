#include "window/qt/accessible_roles.h"

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QVariant>
#include <QWidget>

namespace varnock {
namespace {

constexpr const char* kRoleProperty = "varnockAccessibleRole";

class RoleOverride final : public QAccessibleWidget {
public:
    RoleOverride(QWidget* control, QAccessible::Role role) : QAccessibleWidget(control, role) {}

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (Pressable(role())) {
            names.prepend(pressAction());
        }
        return names;
    }

    void doAction(const QString& name) override {
        if (name != pressAction() || !Pressable(role())) {
            QAccessibleWidget::doAction(name);
            return;
        }
        QWidget* control = widget();
        const QPointF centre = QRectF(control->rect()).center();
        const QPointF global = control->mapToGlobal(centre);
        QMouseEvent press(QEvent::MouseButtonPress, centre, global, Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, centre, global, Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(control, &press);
        QCoreApplication::sendEvent(control, &release);
    }

private:
    static bool Pressable(QAccessible::Role role) {
        return role == QAccessible::Link || role == QAccessible::PushButton;
    }
};

QAccessibleInterface* RoleFactory(const QString& /*className*/, QObject* object) {
    auto* control = qobject_cast<QWidget*>(object);
    const QVariant role = object == nullptr ? QVariant() : object->property(kRoleProperty);
    if (control == nullptr || !role.isValid()) {
        return nullptr;
    }
    return new RoleOverride(control, static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void SetAccessibleRole(QWidget& control, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(RoleFactory);
        return true;
    }();
    static_cast<void>(installed);
    control.setProperty(kRoleProperty, static_cast<int>(role));
}

}  // namespace varnock
