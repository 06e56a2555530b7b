# Sourced by the peer runners: a private dovecot serving POP3 on 127.0.0.1:110 with one test user,
# everything inside DIR. zk_dovecot_start DIR USER PASSWORD starts it and waits (bounded) until it
# listens; zk_dovecot_stop stops it and is safe to call more than once.
ZK_DOVECOT_PID=""

zk_dovecot_start() {
  local dir=$1 user=$2 password=$3 tries
  mkdir -p "$dir/run" "$dir/state" "$dir/mail/$user"
  chown -R nobody:nogroup "$dir/mail"
  printf '%s:{PLAIN}%s:65534:65534::%s::\n' "$user" "$password" "$dir/mail/$user" > "$dir/users"
  cat > "$dir/dovecot.conf" <<CONF
protocols = pop3
listen = 127.0.0.1
base_dir = $dir/run
state_dir = $dir/state
instance_name = zankit-pop3-test
ssl = no
disable_plaintext_auth = no
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
    address = 127.0.0.1
    port = 110
  }
}
CONF
  dovecot -F -c "$dir/dovecot.conf" > "$dir/stdout.log" 2>&1 &
  ZK_DOVECOT_PID=$!
  for tries in $(seq 1 100); do
    (exec 3<>/dev/tcp/127.0.0.1/110) 2>/dev/null && return 0
    kill -0 "$ZK_DOVECOT_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "dovecot did not start:" >&2
  cat "$dir/stdout.log" "$dir/dovecot.log" >&2 2>/dev/null
  return 1
}

zk_dovecot_stop() {
  [ -n "$ZK_DOVECOT_PID" ] || return 0
  kill "$ZK_DOVECOT_PID" 2>/dev/null
  wait "$ZK_DOVECOT_PID" 2>/dev/null
  ZK_DOVECOT_PID=""
}
