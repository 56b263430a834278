#!/usr/bin/env bash
# Encrypted connections to a private server, made for this test: a private
# certificate authority (openssl), a server certificate for 127.0.0.1 and
# localhost, one for another host name, a client certificate for the role
# "certuser" (the server asks that role for one), and a second authority
# that signed none of them. The SecureConnection tests of the test program
# run against it twice: with the right server certificate, then with the
# one for another host. The server is stopped on any exit.
#   pg_tls_test.sh path/to/pg-server.sh path/to/tarnwick_tests
set -euo pipefail
script=$(realpath "$1")
tests=$(realpath "$2")
work=$(mktemp -d)
# The server's user reaches its folder inside.
chmod 755 "$work"
trap 'bash "$script" stop "$work/server"; rm -rf "$work"' EXIT

fail() {
  echo "pg_tls_test: $*" >&2
  [ ! -f "$work/server/server.log" ] || tail -n 20 "$work/server/server.log" >&2
  exit 1
}

uri=$(bash "$script" start "$work/server")
[[ $uri =~ @127\.0\.0\.1:([0-9]+)/ ]] || fail "unexpected URI: $uri"
port=${BASH_REMATCH[1]}
server=$(cd "$work/server" && pwd)
# Inside the server's folder, where its user reads them.
certs=$server/certs
mkdir "$certs"
cd "$certs"

authority() { # NAME SUBJECT
  openssl req -x509 -new -nodes -newkey rsa:2048 -days 2 -subj "/CN=$2" -keyout "$1.key" -out "$1.crt" 2>/dev/null
}
certificate() { # NAME COMMON-NAME [SUBJECT-ALT-NAMES]
  openssl req -new -nodes -newkey rsa:2048 -subj "/CN=$2" -keyout "$1.key" -out "$1.csr" 2>/dev/null
  local extensions=()
  if [ $# -ge 3 ]; then
    printf 'subjectAltName=%s\n' "$3" >"$1.ext"
    extensions=(-extfile "$1.ext")
  fi
  openssl x509 -req -in "$1.csr" -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -out "$1.crt" \
    "${extensions[@]}" 2>/dev/null
  chmod 600 "$1.key"
}
authority ca "Tarnwick test authority"
authority other-ca "Another authority"
certificate server 127.0.0.1 "IP:127.0.0.1,DNS:localhost"
certificate wrong wrong.example "DNS:wrong.example"
certificate client certuser
# The server's keys are its user's (the server refuses keys others may read).
[ "$(id -u)" -ne 0 ] || chown postgres: server.key server.crt wrong.key wrong.crt ca.crt

hba=$server/data/pg_hba.conf
# Written in place: the file keeps its owner.
{ echo "hostssl all certuser 127.0.0.1/32 cert"; cat "$hba"; } >"$work/hba" && cat "$work/hba" >"$hba"

serve() { # CERTIFICATE-NAME
  psql "$uri" -qAt -c "ALTER SYSTEM SET ssl = on" -c "ALTER SYSTEM SET ssl_ca_file = '$certs/ca.crt'" \
    -c "ALTER SYSTEM SET ssl_cert_file = '$certs/$1.crt'" -c "ALTER SYSTEM SET ssl_key_file = '$certs/$1.key'" \
    -c "SELECT pg_reload_conf()" >/dev/null
  # The new certificate is in use once a connection that checks only the
  # authority sees its name.
  local tries
  for tries in $(seq 100); do
    if openssl s_client -connect "127.0.0.1:$port" -starttls postgres </dev/null 2>/dev/null |
      grep -q "subject=CN *= *$2"; then
      return 0
    fi
    sleep 0.1
  done
  fail "the server does not serve $1.crt"
}
# A member of the administrator's role, to read the engine's own schema.
psql "$uri" -qAt -c "CREATE ROLE certuser LOGIN IN ROLE tarnwick" >/dev/null

run() { # PHASE TEST
  local out
  out=$(TARNWICK_TEST_TLS="$certs" TARNWICK_TEST_TLS_PG="$uri" TARNWICK_TEST_TLS_SERVES="$1" \
    "$tests" --gtest_filter="SecureConnection.$2" 2>&1) || {
    echo "$out" >&2
    fail "the $1 phase failed"
  }
  if grep -q "SKIPPED" <<<"$out" || ! grep -q "PASSED.* 1 test" <<<"$out"; then
    echo "$out" >&2
    fail "the $1 phase ran no test"
  fi
}
serve server 127.0.0.1
run right TheRightAuthorityHostAndClientCertificateConnect
serve wrong wrong.example
run wrong ACertificateForAnotherHostIsRefusedSayingWhy
echo "pg_tls_test: passed (port $port)"
