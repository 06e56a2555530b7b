# Sourced by the peer runners: private dovecot instances serving POP3 with one test user,
# everything inside DIR.
#   zk_dovecot_start DIR USER PASSWORD [ADDRESS [CERT]]
#       starts one on ADDRESS (127.0.0.1 by default) port 110 and waits (bounded) until it
#       listens. With CERT (CERT.pem and CERT.key) it offers STLS on 110 and POP3 over TLS from
#       the first byte on 995, and refuses a login in the clear.
#   zk_dovecot_stop  stops every instance started; safe to call more than once.
ZK_DOVECOT_PIDS=()

zk_dovecot_start() {
  local dir=$1 user=$2 password=$3 address=${4:-127.0.0.1} cert=${5:-} tries pid tls implicit
  mkdir -p "$dir/run" "$dir/state" "$dir/mail/$user"
  chown -R nobody:nogroup "$dir/mail"
  printf '%s:{PLAIN}%s:65534:65534::%s::\n' "$user" "$password" "$dir/mail/$user" > "$dir/users"
  tls="ssl = no
disable_plaintext_auth = no" implicit=""
  if [ -n "$cert" ]; then
    tls="ssl = required
ssl_cert = <$cert.pem
ssl_key = <$cert.key
disable_plaintext_auth = yes"
    implicit="inet_listener pop3s {
    address = $address
    port = 995
    ssl = yes
  }"
  fi
  cat > "$dir/dovecot.conf" <<CONF
protocols = pop3
listen = $address
base_dir = $dir/run
state_dir = $dir/state
instance_name = zankit-pop3-$(basename "$dir")
$tls
auth_mechanisms = plain
log_path = $dir/dovecot.log
mail_location = maildir:$dir/mail/%u
first_valid_uid = 1
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/users
}
userdb {
  driver = passwd-file
  args = username_format=%u $dir/users
}
service pop3-login {
  inet_listener pop3 {
    address = $address
    port = 110
  }
  $implicit
}
CONF
  # The daemon keeps inherited descriptors open: its output goes to a file, never a pipe.
  dovecot -F -c "$dir/dovecot.conf" > "$dir/stdout.log" 2>&1 &
  pid=$!
  ZK_DOVECOT_PIDS+=("$pid")
  for tries in $(seq 1 100); do
    (exec 3<>"/dev/tcp/$address/110") 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "dovecot did not start:" >&2
  cat "$dir/stdout.log" "$dir/dovecot.log" >&2 2>/dev/null
  return 1
}

zk_dovecot_stop() {
  local pid
  for pid in "${ZK_DOVECOT_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${ZK_DOVECOT_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  ZK_DOVECOT_PIDS=()
}
