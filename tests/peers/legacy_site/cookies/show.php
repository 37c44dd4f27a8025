<?php
// Which cookies came along, exactly as the request line of cookies read.
header('Content-Type: text/plain');
echo 'cookies:' . ($_SERVER['HTTP_COOKIE'] ?? '') . "\n";
