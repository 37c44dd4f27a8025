<?php
// A form handler that sends the browser on to another host, which sets a
// session of its own there.
if (isset($_GET['plant'])) {
    setcookie('PHPSESSID', 'planted', ['path' => '/']);
    header('Content-Type: text/plain');
    echo "planted\n";
    exit;
}
header('Location: http://127.0.0.2:' . $_SERVER['SERVER_PORT'] . '/cookies/away.php?plant=1', true, 302);
