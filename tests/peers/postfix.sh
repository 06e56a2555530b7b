# Sourced by the peer runners: a private Postfix mail system on loopback, run from its own
# configuration folder (no system mail service is configured or touched).
#   zk_postfix_start DIR USER:PASSWORD CERT
#       submission with STARTTLS required before AUTH and MAIL, a second port with TLS from the
#       first byte, both on 127.0.0.1 at ports free now and written to DIR/ports ("submission N",
#       "smtps N"); SASL (PLAIN, LOGIN, CRAM-MD5) through a private Dovecot auth service with the
#       one user; mail for you@ and sender@example.com delivered to the Maildirs
#       DIR/mailboxes/example.com/you/ and .../sender/; certificate CERT.pem, key CERT.key.
#   zk_postfix_stop  stops it; safe to call more than once.
ZK_POSTFIX_PIDS=()

zk_free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

zk_postfix_start() {
  local dir=$1 login=$2 cert=$3 submission smtps pid tries
  submission=$(zk_free_port) && smtps=$(zk_free_port) || return 1
  mkdir -p "$dir/conf" "$dir/queue/private" "$dir/data" "$dir/mailboxes" "$dir/auth/run" "$dir/auth/state"
  chown postfix "$dir/data" "$dir/queue/private" && chown nobody:nogroup "$dir/mailboxes" || return 1
  printf '%s:{PLAIN}%s::::::\n' "${login%%:*}" "${login#*:}" > "$dir/auth/users"
  # Dovecot serves only its authentication, on a socket in Postfix's private folder.
  cat > "$dir/auth/dovecot.conf" <<CONF
protocols =
base_dir = $dir/auth/run
state_dir = $dir/auth/state
instance_name = zankit-postfix-auth-$$
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain login cram-md5
log_path = $dir/auth/dovecot.log
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/auth/users
}
service auth {
  unix_listener $dir/queue/private/auth {
    mode = 0666
  }
}
CONF
  cat > "$dir/conf/main.cf" <<CONF
compatibility_level = 3.6
queue_directory = $dir/queue
data_directory = $dir/data
mail_owner = postfix
myhostname = mail.example.com
mydomain = example.com
myorigin = example.com
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks =
alias_maps =
alias_database =
local_transport = error:local delivery is off
relay_transport = error:relaying is off
default_transport = error:relaying is off
maillog_file = $dir/postfix.log
maillog_file_prefixes = $dir
virtual_mailbox_domains = example.com
virtual_mailbox_base = $dir/mailboxes
virtual_mailbox_maps = texthash:$dir/conf/mailboxes
virtual_uid_maps = static:65534
virtual_gid_maps = static:65534
virtual_minimum_uid = 1
smtpd_tls_cert_file = $cert.pem
smtpd_tls_key_file = $cert.key
smtpd_sasl_type = dovecot
smtpd_sasl_path = private/auth
smtpd_sasl_auth_enable = yes
smtpd_relay_restrictions = permit_sasl_authenticated, reject
smtpd_recipient_restrictions = permit_sasl_authenticated, reject
CONF
  printf '%s@example.com example.com/%s/\n' you you sender sender > "$dir/conf/mailboxes"
  cat > "$dir/conf/master.cf" <<CONF
127.0.0.1:$submission inet n - n - - smtpd
  -o smtpd_tls_security_level=encrypt
  -o smtpd_tls_auth_only=yes
127.0.0.1:$smtps inet n - n - - smtpd
  -o smtpd_tls_wrappermode=yes
pickup unix n - n 60 1 pickup
cleanup unix n - n - 0 cleanup
qmgr unix n - n 300 1 qmgr
tlsmgr unix - - n 1000? 1 tlsmgr
rewrite unix - - n - - trivial-rewrite
bounce unix - - n - 0 bounce
defer unix - - n - 0 bounce
trace unix - - n - 0 bounce
verify unix - - n - 1 verify
flush unix n - n 1000? 0 flush
proxymap unix - - n - - proxymap
showq unix n - n - - showq
error unix - - n - - error
retry unix - - n - - error
discard unix - - n - - discard
virtual unix - n n - - virtual
anvil unix - - n - 1 anvil
scache unix - - n - 1 scache
postlog unix-dgram n - n - 1 postlogd
CONF
  # The daemons keep inherited descriptors open: their output goes to files, never a pipe.
  dovecot -F -c "$dir/auth/dovecot.conf" > "$dir/auth/stdout.log" 2>&1 &
  ZK_POSTFIX_PIDS+=($!)
  # "postfix start" gives up on such an instance; check makes the queue folders, master runs it.
  postfix -c "$dir/conf" check > "$dir/check.log" 2>&1 || { cat "$dir/check.log" >&2; return 1; }
  /usr/lib/postfix/sbin/master -c "$dir/conf" -d > "$dir/master.log" 2>&1 &
  pid=$!
  ZK_POSTFIX_PIDS+=("$pid")
  for tries in $(seq 1 100); do
    if (exec 3<>"/dev/tcp/127.0.0.1/$submission") 2>/dev/null && [ -S "$dir/queue/private/auth" ]; then
      printf 'submission %s\nsmtps %s\n' "$submission" "$smtps" > "$dir/ports"
      return 0
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  echo "postfix did not start:" >&2
  cat "$dir/check.log" "$dir/master.log" "$dir/postfix.log" "$dir/auth/stdout.log" "$dir/auth/dovecot.log" >&2 2>/dev/null
  return 1
}

zk_postfix_stop() {
  local pid
  for pid in "${ZK_POSTFIX_PIDS[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${ZK_POSTFIX_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
  ZK_POSTFIX_PIDS=()
}
