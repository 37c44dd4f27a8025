<?php
// Outside /shop: shows which cookies came along.
header('Content-Type: text/plain');
echo 'cookies:' . ($_SERVER['HTTP_COOKIE'] ?? '') . "\n";
