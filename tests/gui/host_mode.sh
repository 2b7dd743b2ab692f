#!/usr/bin/env bash
# Host mode under a real X server: a stand-in for Velmaran's window, the
# program embedded in it, driven by real pointer and key events, and the
# outcome it leaves in Velmaran.ini.
#   host_mode.sh TransVelmarItaca x11_helper      (run under xvfb-run)
set -uo pipefail

program=$1
helper=$2
for tool in xdotool:xdotool xwininfo:x11-utils; do
  command -v "${tool%%:*}" >/dev/null ||
    { echo "falta ${tool%%:*} (paquete Debian ${tool##*:})"; exit 1; }
done
work=$(mktemp -d)
trap 'cleanup' EXIT
failures=0
host_pid=

cleanup() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  rm -rf "$work"
}
fail() { echo "FALLO: $*"; failures=$((failures + 1)); }

# The program beside its own Velmaran.ini, as Velmaran installs it.
mkdir -p "$work/bin" "$work/QTEMP"
cp "$program" "$work/bin/TransVelmarItaca"
export TRANSVELMAR_TABLES=$work/QTEMP
ini=$work/bin/Velmaran.ini

cat > "$work/centro.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<centro codigo="46000001" denominacion="IES Les Fonts" curso="2024" version="1">
 <plantillas_horario><plantilla_horario codigo="P1" turno="M" descripcion_val="Matí" descripcion_cas="Mañana"/></plantillas_horario>
 <sesiones_horario>
  <sesion_horario plantilla="P1" dia_semana="L" sesion_orden="1" hora_desde="08:00" hora_hasta="08:55"/>
  <sesion_horario plantilla="P1" dia_semana="L" sesion_orden="2" hora_desde="08:55" hora_hasta="09:50"/>
 </sesiones_horario>
 <aulas><aula codigo="A01" nombre="Aula 1"/></aulas>
</centro>
XML

# A host window; its id (hexadecimal digits, no prefix) in $host.
start_host() {
  [ -n "$host_pid" ] && kill "$host_pid" 2>/dev/null
  rm -f "$work/fifo" "$work/host_id"
  mkfifo "$work/fifo"
  "$helper" window 700 320 < "$work/fifo" > "$work/host_id" &
  host_pid=$!
  exec 7> "$work/fifo"  # keeps the window alive
  for _ in $(seq 50); do [ -s "$work/host_id" ] && break; sleep 0.05; done
  host=$(cat "$work/host_id")
}

# Waits for a window of the given name and gives it the keyboard.
focus_window() {
  local id
  id=$(timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" | head -1)
  [ -n "$id" ] || { fail "no aparece la ventana «$1»"; return 1; }
  xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
  sleep 0.2
}

press() { focus_window "$1" && xdotool key --delay 50 "$2"; }

wait_exit() {
  local pid=$1
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || { wait "$pid"; return 0; }; sleep 0.1; done
  fail "el programa no termina"
  kill "$pid" 2>/dev/null
  return 1
}

embedded() {
  for _ in $(seq 50); do
    xwininfo -children -id "0x$host" 2>/dev/null |
      grep -q '"Exportar e importar datos entre Velmaran e ITACA"' && return 0
    sleep 0.1
  done
  return 1
}

flag() { sed -n 's/^Transformado=//p' "$ini" | tr -d '\r'; }

# White at the middle of the language combo: the left panel is what shows.
combo_shown() { [ "$("$helper" pixel "0x$host" 250 78)" = "FFFFFF" ]; }

click() { xdotool mousemove --window "0x$host" "$1" "$2" click 1; }

# --- exportar, closed with "&Salir" without a run: 0
start_host
rm -f "$ini"
"$work/bin/TransVelmarItaca" exportar "$host" & pid=$!
embedded || fail "exportar: no se incrusta en 0x$host"
sleep 0.3
combo_shown || fail "exportar: no muestra el panel izquierdo"
click 300 212
wait_exit $pid
[ "$(flag)" = "0" ] || fail "exportar sin proceso: Transformado='$(flag)', se esperaba 0"

# --- importar: its button starts the export (its notice comes first);
# the file dialog cancelled on a first run: -1
start_host
rm -f "$ini"
"$work/bin/TransVelmarItaca" IMPORTAR "$host" & pid=$!
embedded || fail "importar: no se incrusta en 0x$host"
sleep 0.3
combo_shown && fail "importar: muestra el panel izquierdo"
click 140 132
press TransVelmarItaca Return          # "Deberá Abrir el fichero XML de ITACA, ..."
press "Archivo XML" Escape
press TransVelmarItaca Return          # "No existe archivo XML o Solución."
wait_exit $pid
[ "$(flag)" = "-1" ] || fail "importar sin archivo: Transformado='$(flag)', se esperaba -1"

# --- exportar: a whole import, the file typed into the dialog: 1
start_host
rm -f "$ini"
"$work/bin/TransVelmarItaca" exportar "$host" & pid=$!
embedded || fail "exportar: no se incrusta en 0x$host"
sleep 0.3
click 140 132
if focus_window "Archivo XML"; then
  xdotool type --delay 10 "$work/centro.xml"
  xdotool key Return
fi
press TransVelmarItaca Return          # "Proceso finalizado"
wait_exit $pid
[ "$(flag)" = "1" ] || fail "exportar terminado: Transformado='$(flag)', se esperaba 1"
ls "$work/QTEMP" | grep -qi '^DIASHORAST.DBF$' || fail "exportar terminado: no hay DIASHORAST"

# --- stand-alone, and a handle that does not convert: nothing written
rm -f "$ini"
"$work/bin/TransVelmarItaca" & pid=$!
focus_window "Exportar e importar datos entre Velmaran e ITACA" && xdotool key alt+s
wait_exit $pid
"$work/bin/TransVelmarItaca" exportar "0x$host" & pid=$!
press TransVelmarItaca Return          # "'$0x...' no es un valor entero válido"
if focus_window "Exportar e importar datos entre Velmaran e ITACA"; then
  xwininfo -children -id "0x$host" | grep -q 'Exportar e importar' &&
    fail "asa no válida: se ha incrustado"
  xdotool key alt+s
fi
wait_exit $pid
[ -e "$ini" ] && fail "sin modo anfitrión se ha escrito Velmaran.ini"

if [ $failures -eq 0 ]; then echo "host_mode: 5 passed, 0 failed"; exit 0; fi
echo "host_mode: $failures failed"
exit 1
