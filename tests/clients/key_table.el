;;; Types key sequences in Emacs SKK (ddskk) on its default settings, with
;;; a small dictionary as its large dictionary, and reports what each did.
;;; emacs -Q --batch -l key_table.el DICTIONARY TYPED... </dev/null
;;; DICTIONARY is a file name alone, so ddskk reads it in its default coding
;;; (EUC-JP) and, having a large dictionary, does not fall back to ja-dic.
;;; For each key sequence prints one line of TAB-separated fields, strings
;;; as the hex of their UTF-8:
;;;   typed, the typing buffer's text, skk-henkan-mode, the modes left on
;;;   (latin, zenkaku, katakana, abbrev; comma-separated), the readings
;;;   looked up (comma-separated), the readings offered for registration
;;;   (comma-separated), "menu" when a key left another buffer selected,
;;;   and the error that stopped the keys, if any.
;;; Registration and code input read the keys typed after them, then
;;; standard input, which is at end of file.
(setq load-path (cons "/usr/share/emacs/site-lisp/ddskk" load-path))
(set-language-environment "Japanese")
(let ((home (make-temp-file "brenlow-skk" t)))
  ;; The folder goes when Emacs does, after ddskk has saved into it.
  (add-hook 'kill-emacs-hook `(lambda () (delete-directory ,home t)) t)
  ;; The user's own dictionary and records start empty.
  (setq skk-user-directory home
        skk-jisyo (expand-file-name "jisyo" home)
        skk-backup-jisyo (expand-file-name "jisyo.bak" home)
        skk-record-file (expand-file-name "record" home)
        skk-large-jisyo (nth 0 command-line-args-left)))
(require 'skk)

(defvar brenlow-looked-up nil "Readings looked up, latest first.")
(defvar brenlow-registering nil "Readings offered for registration.")
;; Watching only: each records the reading and lets ddskk go on as usual.
(advice-add 'skk-search :before
            (lambda (&rest _) (push skk-henkan-key brenlow-looked-up)))
(advice-add 'skk-henkan-in-minibuff :before
            (lambda (&rest _) (push skk-henkan-key brenlow-registering)))

(defun brenlow-hex (text)
  (mapconcat (lambda (b) (format "%02x" b))
             (encode-coding-string (or text "") 'utf-8) ""))

(defun brenlow-hex-list (texts)
  (mapconcat #'brenlow-hex (delete-dups (reverse texts)) ","))

(dolist (typed (nthcdr 1 command-line-args-left))
  (let ((buffer (generate-new-buffer "typing"))
        (failure nil))
    (setq brenlow-looked-up nil
          brenlow-registering nil)
    (switch-to-buffer buffer)
    (skk-mode 1)
    (condition-case err (execute-kbd-macro typed)
      (error (setq failure (error-message-string err))))
    (let ((elsewhere (not (eq (window-buffer) buffer))))
      (with-current-buffer buffer
        (princ (mapconcat
                #'identity
                (list (brenlow-hex typed)
                      (brenlow-hex (buffer-substring-no-properties
                                    (point-min) (point-max)))
                      (format "%s" skk-henkan-mode)
                      (mapconcat #'identity
                                 (delq nil (list (and skk-latin-mode "latin")
                                                 (and skk-jisx0208-latin-mode
                                                      "zenkaku")
                                                 (and skk-katakana "katakana")
                                                 (and skk-abbrev-mode
                                                      "abbrev")))
                                 ",")
                      (brenlow-hex-list brenlow-looked-up)
                      (brenlow-hex-list brenlow-registering)
                      (if elsewhere "menu" "")
                      (brenlow-hex failure))
                "\t"))
        (princ "\n")
        (condition-case nil (skk-kakutei) (error nil))))
    (switch-to-buffer "*scratch*")
    (kill-buffer buffer)
    ;; Each sequence starts from the empty user dictionary: a word
    ;; registered from later keys of one sequence (registration reads the
    ;; rest of the keys) must not be a candidate in the next.  The count
    ;; kept at zero, nothing is ever saved to the file.
    (let ((jisyo (get-buffer (concat " *" (file-name-nondirectory skk-jisyo)
                                     "*"))))
      (when jisyo
        (with-current-buffer jisyo (set-buffer-modified-p nil))
        (kill-buffer jisyo)))
    (setq skk-update-jisyo-count 0)))
(setq command-line-args-left nil)
