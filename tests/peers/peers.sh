#!/usr/bin/env bash
# Starts (or stops) the real peers the tests talk to, all on 127.0.0.1:
#   nginx  http and https (test CA), also on 127.0.0.2; https with a
#          self-signed, an expired, another host's and an unknown CA's certificate
#   tinyproxy, a forward proxy; a second one that wants Basic credentials
#          (user pakeno, password s3cret)
#   PHP's built-in server, serving the legacy site beside this script
# The ports are free ones picked at each start, written to DIR/ports as
# NAME=PORT lines (http, https, selfsigned, expired, wronghost, unknownca,
# proxy, authproxy, php), so that two builds on one machine never collide.
# Usage: peers.sh start|stop DIR   (DIR holds configs, certificates, logs)
set -euo pipefail
# nginx lives in /usr/sbin, which a user's PATH need not name.
export PATH="$PATH:/usr/sbin:/sbin"
here=$(cd "$(dirname "$0")" && pwd)
action=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)

stop() {
  for pidfile in "$dir/nginx.pid" "$dir/tinyproxy.pid" "$dir/authproxy.pid" "$dir/php.pid" "$dir/php2.pid"; do
    if [ -s "$pidfile" ]; then
      pid=$(cat "$pidfile")
      # PHP's server runs its workers in a process group of its own: end them all.
      kill -- "-$pid" 2>/dev/null || kill "$pid" 2>/dev/null || true
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      rm -f "$pidfile"
    fi
  done
}

# The processes the peers of $dir run, workers included; none once stopped.
leftovers() { pgrep -f -- "session.save_path=$dir/|nginx -p $dir -c|-c $dir/tinyproxy.conf|-c $dir/authproxy.conf" || true; }

if [ "$action" = stop ]; then
  stop
  for _ in $(seq 50); do [ -z "$(leftovers)" ] && exit 0; sleep 0.1; done
  echo "peers: still running after the stop:" >&2
  leftovers | xargs -r ps -o pid=,args= -p >&2
  exit 1
fi
stop

cd "$dir"
# --- free ports: bound to port 0 and read back, one name each
# shellcheck disable=SC2016  # PHP, not the shell, reads the dollars
pick_port() { php -r '$s = stream_socket_server("tcp://127.0.0.1:0"); $n = stream_socket_get_name($s, false); echo substr($n, strrpos($n, ":") + 1);'; }
: > ports
for name in http https selfsigned expired wronghost unknownca proxy authproxy php; do
  port=$(pick_port)
  while grep -q "=$port\$" ports; do port=$(pick_port); done
  echo "$name=$port" >> ports
done
port_of() { sed -n "s/^$1=//p" ports; }
http=$(port_of http) https=$(port_of https) selfsigned=$(port_of selfsigned) expired=$(port_of expired)
wronghost=$(port_of wronghost) unknownca=$(port_of unknownca) proxy=$(port_of proxy) authproxy=$(port_of authproxy)
php=$(port_of php)
mkdir -p www/files tmp certs
rm -f nginx-access.log tinyproxy.log authproxy.log php.log  # each start begins with clean logs
chmod 755 "$dir" www www/files

# --- certificates, made afresh on each start
(
  cd certs
  rm -f index.txt*
  key() { openssl ecparam -name prime256v1 -genkey -noout -out "$1" 2>/dev/null; }
  ca() {  # name
    key "$1.key"
    openssl req -x509 -new -key "$1.key" -days 3650 -subj "/CN=Pakeno test $1" -out "$1.pem" 2>/dev/null
  }
  leaf() {  # name ca san [startdate enddate]
    key "$1.key"
    openssl req -new -key "$1.key" -subj "/CN=$1" -out "$1.csr" 2>/dev/null
    printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\n' "$3" > "$1.ext"
    if [ $# -ge 5 ]; then
      : > index.txt
      cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = none
[any]
commonName = supplied
CNF
      echo 1000 > serial
      openssl ca -batch -config ca.cnf -cert "$2.pem" -keyfile "$2.key" -in "$1.csr" -out "$1.pem" \
        -startdate "$4" -enddate "$5" -extfile "$1.ext" -notext >/dev/null 2>&1
    else
      openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 365 \
        -extfile "$1.ext" -out "$1.pem" 2>/dev/null
    fi
  }
  ca testca
  ca otherca
  leaf good testca "IP:127.0.0.1,IP:127.0.0.2,DNS:localhost"
  leaf expired testca "IP:127.0.0.1,DNS:localhost" 20200101000000Z 20200201000000Z
  leaf wronghost testca "DNS:other.example"
  leaf unknownca otherca "IP:127.0.0.1,DNS:localhost"
  key selfsigned.key
  openssl req -x509 -new -key selfsigned.key -days 365 -subj "/CN=127.0.0.1" \
    -addext "subjectAltName=IP:127.0.0.1" -out selfsigned.pem 2>/dev/null
)

# --- content
printf 'hello from nginx\n' > www/index.html
printf '\xd6\xd0\xce\xc4 GBK page\n' > www/files/gbk.txt
printf '<p>中文页面 in UTF-8</p>\n' > www/files/utf8.html
[ -s www/files/big.bin ] || head -c $((64 << 20)) /dev/urandom > www/files/big.bin
mkdir -p www/update
printf '<html><body><p>最新版本号：1.0.1</p><p>下载地址：https://127.0.0.1:%s/files/gbk.txt?a=1&amp;b=2</p></body></html>\n' "$https" \
  > www/update/newer.html
chmod 755 www/update
chmod 644 www/index.html www/files/* www/update/*

# --- nginx
tls_server() {  # port cert
  cat <<CONF
  server {
    listen 127.0.0.1:$1 ssl;
    $( [ "$1" = "$https" ] && echo "listen 127.0.0.2:$1 ssl;" )
    ssl_certificate $dir/certs/$2.pem;
    ssl_certificate_key $dir/certs/$2.key;
    root $dir/www;
    location / { error_page 405 =200 \$uri; }
    # A secure page that sends the client on to plain http.
    location = /to-http { return 307 http://127.0.0.1:$http/index.html?leaked-in-clear-\$arg_run; }
    location = /login { add_header Set-Cookie "sess=GOOD; Secure; Path=/"; return 200 "logged in\\n"; }
    location = /whoami { return 200 "cookie:\$http_cookie\\n"; }
  }
CONF
}
cat > nginx.conf <<CONF
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/nginx-error.log;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
events { worker_connections 256; }
http {
  access_log $dir/nginx-access.log;
  client_body_temp_path $dir/tmp/body;
  proxy_temp_path $dir/tmp/proxy;
  fastcgi_temp_path $dir/tmp/fastcgi;
  uwsgi_temp_path $dir/tmp/uwsgi;
  scgi_temp_path $dir/tmp/scgi;
  default_type application/octet-stream;
  client_max_body_size 100m;
  server {
    listen 127.0.0.1:$http;
    # libcurl counts 127.0.0.1 as a secure context; 127.0.0.2 is plain loopback.
    listen 127.0.0.2:$http;
    root $dir/www;
    # A POST to a static file answers with the file, so form POSTs have a peer.
    location / { error_page 405 =200 \$uri; }
    # Whoever sits on plain http tries to plant a session of their own.
    location = /plant {
      add_header Set-Cookie "sess=EVIL; Secure; Path=/";
      add_header Set-Cookie "sess=EVIL2; Path=/";
      return 200 "planted\\n";
    }
  }
$(tls_server "$https" good)
$(tls_server "$selfsigned" selfsigned)
$(tls_server "$expired" expired)
$(tls_server "$wronghost" wronghost)
$(tls_server "$unknownca" unknownca)
}
CONF
nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/nginx-error.log"

# --- tinyproxy: NAME PORT [EXTRA CONFIG LINE]
tinyproxy_server() {
  cat > "$1.conf" <<CONF
Port $2
Listen 127.0.0.1
Timeout 60
MaxClients 20
Allow 127.0.0.1
PidFile "$dir/$1.pid"
LogFile "$dir/$1.log"
LogLevel Info
DisableViaHeader Yes
${3:-}
$( [ "$(id -u)" -eq 0 ] && printf 'User root\nGroup root\n' )
CONF
  tinyproxy -c "$dir/$1.conf"
}
tinyproxy_server tinyproxy "$proxy"
tinyproxy_server authproxy "$authproxy" "BasicAuth pakeno s3cret"

# --- PHP: a few workers, so a request may arrive while another one runs
mkdir -p php-sessions
# The same site on 127.0.0.2 as well, a second host for cross-host redirects;
# each server leads a process group of its own, so that its workers stop with it.
php_server() {  # ADDRESS PIDFILE LOG
  PHP_CLI_SERVER_WORKERS=4 setsid php -S "$1:$php" -t "$here/legacy_site" \
    -d session.save_path="$dir/php-sessions" -d display_errors=stderr >"$3" 2>&1 &
  echo $! > "$2"
}
php_server 127.0.0.1 "$dir/php.pid" "$dir/php.log"
php_server 127.0.0.2 "$dir/php2.pid" "$dir/php2.log"

# Wait until all of them answer.
for address in "127.0.0.1/$http" "127.0.0.1/$https" "127.0.0.1/$proxy" "127.0.0.1/$authproxy" "127.0.0.1/$php" "127.0.0.2/$php"; do
  up=no
  for _ in $(seq 50); do
    if (exec 3<>"/dev/tcp/$address") 2>/dev/null; then up=yes; break; fi
    sleep 0.1
  done
  [ $up = yes ] || { echo "peers: nothing answers on $address; see the logs in $dir" >&2; exit 1; }
done
echo "peers up in $dir"
