# Sourced by the helper's package test and the benchmarks: an ordinary user,
# a system D-Bus and polkitd (each started only when none runs), and polkit
# actions and rules of the caller's own, all undone by polkit_sandbox_down.
# Needs root.
sandbox_user=dt-helper-test
sandbox_files=()
sandbox_pids=()
sandbox_bus=

sandbox_wait() {  # up to 60 s for a command to succeed
  local _
  for _ in $(seq 1200); do
    "$@" && return 0
    sleep 0.05
  done
  "$@"
}

sandbox_polkit_on_bus() {
  dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.PolicyKit1 2>/dev/null |
    grep -q 'boolean true'
}

polkit_sandbox_up() {
  id "$sandbox_user" >/dev/null 2>&1 ||
    useradd --system --no-create-home --shell /bin/sh "$sandbox_user"
  if ! dbus-send --system --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetId >/dev/null 2>&1; then
    # No bus, or the socket and pid file of one that was killed.
    mkdir -p /run/dbus
    rm -f /run/dbus/pid /run/dbus/system_bus_socket
    sandbox_bus=$(dbus-daemon --system --fork --print-pid)
  fi
  if ! sandbox_polkit_on_bus; then
    setsid /usr/lib/polkit-1/polkitd --no-debug </dev/null >/dev/null 2>&1 &
    sandbox_pids+=($!)
    sandbox_wait sandbox_polkit_on_bus || { echo "polkitd did not come up" >&2; return 1; }
  fi
}

polkit_sandbox_down() {
  local p
  [ ${#sandbox_files[@]} -eq 0 ] || rm -f "${sandbox_files[@]}"
  for p in "${sandbox_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [ -n "$sandbox_bus" ]; then
    kill "$sandbox_bus" 2>/dev/null || true
    rm -f /run/dbus/pid /run/dbus/system_bus_socket
  fi
  sandbox_files=() sandbox_pids=() sandbox_bus=
}

# An action ID that lets pkexec start the program HELPER (auth_admin_keep).
polkit_sandbox_action() {
  local file=/usr/share/polkit-1/actions/$1.policy
  sandbox_files+=("$file")
  cat >"$file" <<POLICY
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE policyconfig PUBLIC "-//freedesktop//DTD PolicyKit Policy Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/PolicyKit/1/policyconfig.dtd">
<policyconfig>
  <action id="$1">
    <description>$1</description>
    <message>$1</message>
    <defaults><allow_any>auth_admin_keep</allow_any><allow_inactive>auth_admin_keep</allow_inactive><allow_active>auth_admin_keep</allow_active></defaults>
    <annotate key="org.freedesktop.policykit.exec.path">$2</annotate>
  </action>
</policyconfig>
POLICY
}

# Runs a command as the user in a session of its own (no terminal, so no
# polkit agent can ask) with a bare environment and the given variables.
sandbox_as_user() { setsid -w runuser -u "$sandbox_user" -- env -i PATH=/usr/bin:/bin "$@"; }

# Grants (on) or takes back (off) the action ID for the user, and waits until
# pkexec starting HELPER by hand says so: the helper refuses to run without
# its socket (exit code 2), polkit's refusal is 126 or 127.
polkit_sandbox_grant() {
  local id=$1 on=$2 helper=$3
  local rule=/etc/polkit-1/rules.d/49-$id.rules
  sandbox_files+=("$rule")
  if [ "$on" = on ]; then
    cat >"$rule" <<RULE
polkit.addRule(function(action, subject) {
  if (action.id == "$id" && subject.user == "$sandbox_user") return polkit.Result.YES;
});
RULE
  else
    rm -f "$rule"
  fi
  sandbox_pkexec_says() {
    local code=0
    sandbox_as_user pkexec "$helper" </dev/null >/dev/null 2>&1 || code=$?
    if [ "$on" = on ]; then [ $code -eq 2 ]; else [ $code -eq 126 ] || [ $code -eq 127 ]; fi
  }
  sandbox_wait sandbox_pkexec_says
}
